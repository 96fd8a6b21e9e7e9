#include "ui/dialogs/select_pid_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tobrel {

TfrmSelPID::TfrmSelPID(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TfrmSelPID"));
    setWindowTitle(tr("Select Product ID"));
    auto* label1 = new QLabel(tr("This GPS receiver is not supported"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setStyleSheet(QStringLiteral("color: red"));
    auto* label2 = new QLabel(tr("Choose the model that seems closest"), this);
    label2->setObjectName(QStringLiteral("Label2"));

    auto radio = [this](const char* name, const char* caption) {
        auto* r = new QRadioButton(QString::fromLatin1(caption), this);
        r->setObjectName(QString::fromLatin1(name));
        return r;
    };
    rbGPS38 = radio("rbGPS38", "GPS38");
    rbGPS12 = radio("rbGPS12", "GPS12");
    rbGPS3 = radio("rbGPS3", "GPS3");
    rbeTrex = radio("rbeTrex", "eTrex");
    rbGPS38->setChecked(true);

    btnOK = new QPushButton(tr("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* choices = new QHBoxLayout;
    for (QRadioButton* r : {rbGPS38, rbGPS12, rbGPS3, rbeTrex})
        choices->addWidget(r);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(label2);
    layout->addLayout(choices);
    layout->addLayout(buttons);
}

std::int32_t TfrmSelPID::ChosenProductId() const {
    if (rbGPS38->isChecked())
        return 41;
    if (rbGPS12->isChecked())
        return 87;
    if (rbGPS3->isChecked())
        return 72;
    return 130;
}

}  // namespace tobrel
