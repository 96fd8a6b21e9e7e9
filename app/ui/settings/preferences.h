#pragma once
// The program's five settings, kept between runs in QSettings("Vesko",
// "TobrelPA"): read when the window is created, written when it goes.

#include <cstdint>
#include <optional>

#include <QString>
#include <QVariant>

class QSettings;

namespace tobrel {

struct Preferences {
    static constexpr std::int32_t kDefaultLayerScale = 250000;
    static constexpr std::int32_t kDefaultLatitudeCenter = 126000000;   // 35 N
    static constexpr std::int32_t kDefaultLongitudeCenter = 500400000;  // 139 E
    static constexpr const char* kDefaultCommPort = "COM1";

    QString AreaCode;
    std::int32_t LayerScale = kDefaultLayerScale;
    std::int32_t LatitudeCenter = kDefaultLatitudeCenter;
    std::int32_t LongitudeCenter = kDefaultLongitudeCenter;
    QString CommPort = kDefaultCommPort;

    // The defaults, overwritten by each value the settings hold. A number
    // that is missing or not a 32-bit integer keeps its default.
    void Read(const QSettings& settings);
    void Write(QSettings& settings) const;

    void SetPort(const QString& port) { CommPort = port; }
    // The port number of "COMn" (1 to 8), or nothing for any other text.
    std::optional<int> PortNumber() const;
};

// A stored value as a 32-bit integer, or nothing.
std::optional<std::int32_t> ToInt32(const QVariant& value);

}  // namespace tobrel
