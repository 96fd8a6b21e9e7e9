#pragma once
// TfrmRouteDlg: the route name, the prefix of the route waypoints' names and
// their symbol for sending a track to the receiver as a route.

#include <cstdint>

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tobrel {

class TfrmRouteDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kRouteNameMax = 20;
    static constexpr int kPrefixMax = 3;
    static constexpr std::uint16_t kSymbolWhenNotANumber = 18;

    explicit TfrmRouteDlg(QWidget* parent = nullptr);

    QString RouteName() const;
    QString WaypointPrefix() const;
    // The symbol typed as a decimal number; 18 when it is not one.
    std::uint16_t Symbol() const;

    QLineEdit* edtRouteName = nullptr;
    QLineEdit* edtRWprefix = nullptr;
    QComboBox* cbSymbol = nullptr;
    QPushButton* bbOk = nullptr;
    QPushButton* bbCancel = nullptr;
};

// A symbol number as typed; 18 for anything that is not a 16-bit decimal number.
std::uint16_t ParseSymbolNumber(const QString& text);

}  // namespace tobrel
