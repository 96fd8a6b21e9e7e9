#pragma once
// The serial devices present on this machine, for choosing a receiver's port.

#include <QList>
#include <QString>

namespace tobrel {

struct SerialDevice {
    QString path;         // /dev/ttyUSB0
    QString description;  // what the driver or the USB device says it is
    QString manufacturer;
    int vendorId = -1;  // USB ids, -1 when not a USB device
    int productId = -1;

    // "/dev/ttyUSB0 - USB-Serial Controller (067b:2303)"
    QString Label() const;
};

QList<SerialDevice> PresentSerialDevices();

}  // namespace tobrel
