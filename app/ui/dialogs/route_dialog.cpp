#include "ui/dialogs/route_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tobrel {

std::uint16_t ParseSymbolNumber(const QString& text) {
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 10);
    return ok && v <= 0xFFFF ? static_cast<std::uint16_t>(v) : TfrmRouteDlg::kSymbolWhenNotANumber;
}

TfrmRouteDlg::TfrmRouteDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TfrmRouteDlg"));
    setWindowTitle(tr("Route Name"));
    edtRouteName = new QLineEdit(QStringLiteral("ROUTE-"), this);
    edtRouteName->setObjectName(QStringLiteral("edtRouteName"));
    edtRouteName->setMaxLength(kRouteNameMax);
    edtRWprefix = new QLineEdit(QStringLiteral("RW_"), this);
    edtRWprefix->setObjectName(QStringLiteral("edtRWprefix"));
    edtRWprefix->setMaxLength(kPrefixMax);
    cbSymbol = new QComboBox(this);
    cbSymbol->setObjectName(QStringLiteral("cbSymbol"));
    cbSymbol->setEditable(true);
    cbSymbol->setInsertPolicy(QComboBox::NoInsert);
    cbSymbol->setEditText(QStringLiteral("16392"));

    auto* form = new QFormLayout;
    auto row = [this, form](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row(tr("Route name"), edtRouteName);
    row(tr("Route waypoint prefix"), edtRWprefix);
    row(tr("Route waypoint symbol"), cbSymbol);

    auto* buttons = new QDialogButtonBox(this);
    bbOk = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setDefault(true);
    bbCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString TfrmRouteDlg::RouteName() const {
    return edtRouteName->text();
}

QString TfrmRouteDlg::WaypointPrefix() const {
    return edtRWprefix->text();
}

std::uint16_t TfrmRouteDlg::Symbol() const {
    return ParseSymbolNumber(cbSymbol->currentText());
}

}  // namespace tobrel
