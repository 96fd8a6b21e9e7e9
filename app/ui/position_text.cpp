#include "ui/position_text.h"

#include <cmath>
#include <cstdlib>

#include <QLocale>

namespace tobrel {

QString DmsText(double degrees, bool latitude) {
    const QChar hemisphere = latitude ? (degrees < 0 ? QLatin1Char('S') : QLatin1Char('N'))
                                      : (degrees < 0 ? QLatin1Char('W') : QLatin1Char('E'));
    // Work in tenths of a second so that rounding carries into minutes and degrees.
    const long long tenths = std::llround(std::fabs(degrees) * 36000.0);
    const long long d = tenths / 36000;
    const long long m = (tenths / 600) % 60;
    const long long s10 = tenths % 600;
    return QStringLiteral("%1°%2'%3.%4\"%5")
        .arg(d)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s10 / 10, 2, 10, QLatin1Char('0'))
        .arg(s10 % 10)
        .arg(hemisphere);
}

QString PositionText(std::int32_t latitude, std::int32_t longitude) {
    const double lat = latitude / 3600000.0;
    const double lon = longitude / 3600000.0;
    return QStringLiteral("%1, %2  %3 %4")
        .arg(lat, 0, 'f', 6)
        .arg(lon, 0, 'f', 6)
        .arg(DmsText(lat, true), DmsText(lon, false));
}

QString ScaleText(std::int32_t scale) {
    return QStringLiteral("1:") + QLocale(QLocale::English).toString(scale);
}

}  // namespace tobrel
