#pragma once
// TfrmSelPID: for a receiver the GPS control does not know, the user picks a
// model that is probably close; the GPS commands then use its product ID.

#include <cstdint>

#include <QDialog>

class QRadioButton;
class QPushButton;

namespace tobrel {

class TfrmSelPID : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSelPID(QWidget* parent = nullptr);

    // The product ID of the first checked choice: GPS38 41, GPS12 87, GPS3 72, eTrex 130.
    std::int32_t ChosenProductId() const;

    QRadioButton* rbGPS38 = nullptr;
    QRadioButton* rbGPS12 = nullptr;
    QRadioButton* rbGPS3 = nullptr;
    QRadioButton* rbeTrex = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};

}  // namespace tobrel
