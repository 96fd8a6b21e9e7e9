#pragma once
// TfrmPreference: the receiver's port "COM1" to "COM8" and, since a Linux
// machine names its serial lines otherwise, the device that port stands for.

#include <QDialog>
#include <QList>

#include "ui/settings/port_map.h"
#include "ui/settings/serial_devices.h"

class QComboBox;
class QLabel;

namespace tobrel {

class TfrmPreference : public QDialog {
    Q_OBJECT
  public:
    // Selects the first port, then the one named `port` if it is in the list.
    TfrmPreference(const QString& port, QList<SerialDevice> devices, QWidget* parent = nullptr);

    QComboBox* cbCommPort = nullptr;
    QComboBox* cbDevice = nullptr;  // present devices, or a path typed in
    QLabel* lblDevice = nullptr;    // what the chosen port names today

    QString ChosenPort() const;
    int ChosenPortNumber() const;
    // The device path chosen for the port: an item's path or what was typed.
    QString ChosenDevice() const;

    void accept() override;

  private:
    void ShowPort();

    QList<SerialDevice> devices_;
    QString shownDevice_;  // the device the port named when it was shown
};

}  // namespace tobrel
