#include "map/tile_sources.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

namespace tobrel {

namespace {

QString XdgDir(const char* variable, const char* fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    // Relative values are invalid by the XDG rules and are ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return value;
    }
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallbackUnderHome);
}

bool ParseZoom(const QString& text, int* zoom) {
    bool ok = false;
    const int z = text.trimmed().toInt(&ok);
    if (!ok || z < 0 || z > kMaxTileZoom) {
        return false;
    }
    *zoom = z;
    return true;
}

}  // namespace

MapPaths MapPaths::FromEnvironment() {
    MapPaths p;
    p.tileSourcesFile = XdgDir("XDG_CONFIG_HOME", ".config") + "/tobrelpa/tilesources.conf";
    p.tileCacheDir = XdgDir("XDG_CACHE_HOME", ".cache") + "/tobrelpa/tiles";
    p.mapsDir = XdgDir("XDG_DATA_HOME", ".local/share") + "/tobrelpa/maps";
    return p;
}

bool IsSafeSourceName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    static const QRegularExpression onlyDots(QStringLiteral("^\\.+$"));
    return pattern.match(name).hasMatch() && !onlyDots.match(name).hasMatch();
}

std::vector<TileSourceConfig> ParseTileSources(const QString& text, QStringList* problems) {
    std::vector<TileSourceConfig> sources;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        auto reject = [&](const char* why) {
            if (problems != nullptr) {
                problems->append(QStringLiteral("line %1: %2").arg(i + 1).arg(why));
            }
        };
        const QStringList f = line.split(QLatin1Char('|'));
        if (f.size() != 4 && f.size() != 5) {
            reject("expected name|title|url|max zoom[|min zoom]");
            continue;
        }
        TileSourceConfig c;
        c.name = f[0].trimmed();
        c.title = f[1].trimmed();
        c.urlTemplate = f[2].trimmed();
        if (!IsSafeSourceName(c.name)) {
            reject("bad name");
            continue;
        }
        const QUrl url(c.urlTemplate);
        const QString scheme = url.scheme().toLower();
        if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
            url.host().isEmpty() || !c.urlTemplate.contains(QLatin1String("{z}")) ||
            !c.urlTemplate.contains(QLatin1String("{x}")) ||
            !c.urlTemplate.contains(QLatin1String("{y}"))) {
            reject("bad url template");
            continue;
        }
        if (!ParseZoom(f[3], &c.maxZoom) || (f.size() == 5 && !ParseZoom(f[4], &c.minZoom)) ||
            c.minZoom > c.maxZoom) {
            reject("bad zoom");
            continue;
        }
        if (c.title.isEmpty()) {
            c.title = c.name;
        }
        const bool duplicate = std::any_of(sources.begin(), sources.end(),
                                           [&](const auto& s) { return s.name == c.name; });
        if (duplicate) {
            reject("duplicate name");
            continue;
        }
        sources.push_back(c);
    }
    return sources;
}

QString ExpandTileUrl(const QString& urlTemplate, const TileKey& key) {
    QString url = urlTemplate;
    url.replace(QLatin1String("{z}"), QString::number(key.z));
    url.replace(QLatin1String("{x}"), QString::number(key.x));
    url.replace(QLatin1String("{y}"), QString::number(key.y));
    return url;
}

QString TileCachePath(const QString& cacheDir, const QString& source, const TileKey& key) {
    return QStringLiteral("%1/%2/%3/%4/%5.png")
        .arg(cacheDir, source)
        .arg(key.z)
        .arg(key.x)
        .arg(key.y);
}

}  // namespace tobrel
