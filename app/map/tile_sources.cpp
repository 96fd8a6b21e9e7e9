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

// "a,b,c" or "abc"; each must be a plain host label.
QStringList ParseSubdomains(const QString& text) {
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9-]{1,63}$"));
    QStringList parts;
    if (text.contains(QLatin1Char(','))) {
        parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    } else {
        for (const QChar c : text) {
            parts.append(QString(c));
        }
    }
    QStringList out;
    for (const QString& part : parts) {
        const QString s = part.trimmed();
        if (label.match(s).hasMatch()) {
            out.append(s);
        }
    }
    return out;
}

}  // namespace

std::vector<TileSourceConfig> BuiltInTileSources() {
    TileSourceConfig osm;
    osm.name = QStringLiteral("osm");
    osm.title = QStringLiteral("OpenStreetMap");
    osm.urlTemplate = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    osm.minZoom = 0;
    osm.maxZoom = 19;
    osm.attribution = QStringLiteral("© OpenStreetMap contributors");
    osm.attributionUrl = QStringLiteral("https://www.openstreetmap.org/copyright");

    TileSourceConfig gsi;
    gsi.name = QStringLiteral("gsi-std");
    gsi.title = QStringLiteral("地理院地図（標準地図）");
    gsi.urlTemplate = QStringLiteral("https://cyberjapandata.gsi.go.jp/xyz/std/{z}/{x}/{y}.png");
    // Zooms 5 and up cover Japan; 2 to 4 show only a sketch of the world.
    gsi.minZoom = 5;
    gsi.maxZoom = 18;
    gsi.attribution = QStringLiteral("出典: 地理院タイル");
    gsi.attributionUrl = QStringLiteral("https://maps.gsi.go.jp/development/ichiran.html");
    return {osm, gsi};
}

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
        if (f.size() < 4 || f.size() > 7) {
            reject("expected name|title|url|max zoom[|min zoom[|attribution[|subdomains]]]");
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
        // The placeholder is no valid host name; check the URL with a subdomain in it.
        const QUrl url(QString(c.urlTemplate).replace(QLatin1String("{s}"), QLatin1String("a")));
        const QString scheme = url.scheme().toLower();
        if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
            url.host().isEmpty() || !c.urlTemplate.contains(QLatin1String("{z}")) ||
            !c.urlTemplate.contains(QLatin1String("{x}")) ||
            !c.urlTemplate.contains(QLatin1String("{y}"))) {
            reject("bad url template");
            continue;
        }
        const QString minZoom = f.value(4).trimmed();
        if (!ParseZoom(f[3], &c.maxZoom) ||
            (!minZoom.isEmpty() && !ParseZoom(minZoom, &c.minZoom)) || c.minZoom > c.maxZoom) {
            reject("bad zoom");
            continue;
        }
        if (c.title.isEmpty()) {
            c.title = c.name;
        }
        c.attribution = f.value(5).trimmed();
        c.subdomains = ParseSubdomains(f.value(6).trimmed());
        if (c.urlTemplate.contains(QLatin1String("{s}")) && c.subdomains.isEmpty()) {
            c.subdomains = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        }
        if (!c.subdomains.isEmpty() && !c.urlTemplate.contains(QLatin1String("{s}"))) {
            reject("subdomains without {s}");
            continue;
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

QString ExpandTileUrl(const QString& urlTemplate, const TileKey& key,
                      const QStringList& subdomains) {
    QString url = urlTemplate;
    if (!subdomains.isEmpty()) {
        const auto n = static_cast<std::int64_t>(subdomains.size());
        const std::int64_t pick = ((std::int64_t{key.x} + key.y) % n + n) % n;
        url.replace(QLatin1String("{s}"), subdomains[static_cast<qsizetype>(pick)]);
    }
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

QString TileMetaPath(const QString& tilePath) {
    QString path = tilePath;
    if (path.endsWith(QLatin1String(".png"))) {
        path.chop(4);
    }
    return path + QStringLiteral(".meta");
}

}  // namespace tobrel
