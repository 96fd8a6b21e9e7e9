#include "ui/dialogs/input_dialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/cp932.h"

namespace tobrel {

QValidator::State UpperCaseValidator::validate(QString& input, int& /*pos*/) const {
    for (QChar& c : input)
        c = c.toUpper();
    if (maxBytes_ > 0 &&
        sorvane::cp932::FromUtf8(input.toStdString()).size() > static_cast<std::size_t>(maxBytes_))
        return Invalid;
    return Acceptable;
}

TfrmInput::TfrmInput(const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TfrmInput"));
    setWindowTitle(caption.isEmpty() ? QStringLiteral("frmInput") : caption);
    edtInput = new QLineEdit(this);
    edtInput->setObjectName(QStringLiteral("edtInput"));
    edtInput->setAccessibleName(caption);
    edtInput->setMinimumWidth(217);
    edtInput->setValidator(new UpperCaseValidator(kNameBytes, edtInput));

    auto* buttons = new QDialogButtonBox(this);
    bbOk = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    bbOk->setObjectName(QStringLiteral("bbOk"));
    bbOk->setDefault(true);
    bbCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    bbCancel->setObjectName(QStringLiteral("bbCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edtInput);
    layout->addWidget(buttons);
}

QString TfrmInput::Text() const {
    return edtInput->text();
}

std::optional<QString> TfrmInput::Ask(QWidget* parent, const QString& caption) {
    TfrmInput dialog(caption, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}

}  // namespace tobrel
