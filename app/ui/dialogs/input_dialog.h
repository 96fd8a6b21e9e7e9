#pragma once
// TfrmInput: one line of text, typed letters turned to upper case, for the
// name of a new track or waypoint.

#include <optional>

#include <QDialog>
#include <QValidator>

class QLineEdit;
class QPushButton;

namespace tobrel {

// Turns letters to upper case as they are typed and keeps the text within a
// number of bytes of code page 932 (the store's field), when one is given.
class UpperCaseValidator : public QValidator {
  public:
    explicit UpperCaseValidator(int maxBytes, QObject* parent = nullptr)
        : QValidator(parent), maxBytes_(maxBytes) {}
    State validate(QString& input, int& pos) const override;

  private:
    int maxBytes_;
};

class TfrmInput : public QDialog {
    Q_OBJECT
  public:
    // The store keeps 23 bytes of a name.
    static constexpr int kNameBytes = 23;

    explicit TfrmInput(const QString& caption, QWidget* parent = nullptr);

    QString Text() const;
    // Shows the dialog; the text on OK, nothing otherwise.
    static std::optional<QString> Ask(QWidget* parent, const QString& caption);

    QLineEdit* edtInput = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;
};

}  // namespace tobrel
