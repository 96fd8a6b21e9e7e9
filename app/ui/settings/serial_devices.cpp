#include "ui/settings/serial_devices.h"

#include <QSerialPortInfo>

namespace tobrel {

QString SerialDevice::Label() const {
    QString text = path;
    QString about = description;
    if (!manufacturer.isEmpty() && !about.contains(manufacturer))
        about = about.isEmpty() ? manufacturer : manufacturer + QLatin1Char(' ') + about;
    if (!about.isEmpty())
        text += QStringLiteral(" - ") + about;
    if (vendorId >= 0 && productId >= 0)
        text += QStringLiteral(" (%1:%2)")
                    .arg(vendorId, 4, 16, QLatin1Char('0'))
                    .arg(productId, 4, 16, QLatin1Char('0'));
    return text;
}

QList<SerialDevice> PresentSerialDevices() {
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice d;
        d.path = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            d.vendorId = info.vendorIdentifier();
            d.productId = info.productIdentifier();
        }
        devices.append(d);
    }
    return devices;
}

}  // namespace tobrel
