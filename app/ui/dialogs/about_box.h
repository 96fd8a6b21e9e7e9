#pragma once
// TAboutBox: the program's name and version and the GPS control's version.

#include <cstdint>

#include <QDialog>

class QLabel;

namespace tobrel {

// The control's version as eight upper-case hexadecimal digits.
QString ControlVersionText(std::int32_t version);

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kVersionText = "Ver 0.20 2002/01/05";

    TAboutBox(std::int32_t controlVersion, QWidget* parent = nullptr);

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* lbSorvaneVer = nullptr;
    QLabel* stSorvaneVer = nullptr;
    QLabel* Notice = nullptr;
};

}  // namespace tobrel
