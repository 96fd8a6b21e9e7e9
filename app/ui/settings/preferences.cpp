#include "ui/settings/preferences.h"

#include <limits>

#include <QSettings>

namespace tobrel {

namespace {

constexpr const char* kAreaCode = "AreaCode";
constexpr const char* kLayerScale = "LayerScale";
constexpr const char* kLatitudeCenter = "LatitudeCenter";
constexpr const char* kLongitudeCenter = "LongitudeCenter";
constexpr const char* kCommPort = "CommPort";

void ReadInt(const QSettings& settings, const char* key, std::int32_t* field) {
    if (const auto v = ToInt32(settings.value(key)))
        *field = *v;
}

}  // namespace

std::optional<std::int32_t> ToInt32(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = value.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

void Preferences::Read(const QSettings& settings) {
    *this = Preferences{};
    AreaCode = settings.value(kAreaCode, AreaCode).toString();
    ReadInt(settings, kLayerScale, &LayerScale);
    ReadInt(settings, kLatitudeCenter, &LatitudeCenter);
    ReadInt(settings, kLongitudeCenter, &LongitudeCenter);
    CommPort = settings.value(kCommPort, CommPort).toString();
}

void Preferences::Write(QSettings& settings) const {
    settings.setValue(kAreaCode, AreaCode);
    settings.setValue(kLayerScale, LayerScale);
    settings.setValue(kLatitudeCenter, LatitudeCenter);
    settings.setValue(kLongitudeCenter, LongitudeCenter);
    settings.setValue(kCommPort, CommPort);
}

std::optional<int> Preferences::PortNumber() const {
    if (CommPort.size() != 4 || !CommPort.startsWith(QLatin1String("COM")))
        return std::nullopt;
    const int n = CommPort[3].digitValue();
    if (n < 1 || n > 8)
        return std::nullopt;
    return n;
}

}  // namespace tobrel
