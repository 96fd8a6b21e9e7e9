#pragma once
// Which device each port number names, as the GPS control decides it: the
// environment variable SORVANE_COMn, else the COMn line of the port map file
// $XDG_CONFIG_HOME/sorvane/ports.conf, else /dev/ttyS<n-1>. The preference
// dialog shows it and changes the file.

#include <QString>

namespace tobrel {

struct PortDevice {
    enum class Source { kNone, kEnvironment, kPortMapFile, kDefault };
    QString path;
    Source source = Source::kNone;
};

// The port map file; empty when neither XDG_CONFIG_HOME nor HOME gives a folder.
QString PortMapFilePath();
// The device of port n (1 to 9); no source for other numbers.
PortDevice PortDeviceOf(int port);
// The file's device for port n, or empty.
QString PortMapEntry(const QString& file, int port);

// Points port n at the device in the port map file. The file is replaced
// whole and at once; every other line stays as it was. False with a reason
// when it cannot be written.
bool WritePortMapEntry(const QString& file, int port, const QString& device,
                       QString* error = nullptr);

}  // namespace tobrel
