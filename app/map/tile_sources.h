#pragma once
// Where the map widget finds its tile sources, tile cache and map files, and
// the small text formats and tile arithmetic around them.

#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>

namespace tobrel {

struct MapPaths {
    // lines name|title|url template|max zoom[|min zoom[|attribution[|subdomains]]]
    QString tileSourcesFile;
    // <dir>/<source>/<z>/<x>/<y>.png with its caching headers in <y>.meta;
    // empty: tiles are kept in memory only
    QString tileCacheDir;
    QString mapsDir;  // *.mbtiles
    // The online sources every installation has (BuiltInTileSources).
    bool builtInSources = true;

    // $XDG_CONFIG_HOME/tobrelpa/tilesources.conf, $XDG_CACHE_HOME/tobrelpa/tiles,
    // $XDG_DATA_HOME/tobrelpa/maps, with the usual fallbacks under $HOME.
    static MapPaths FromEnvironment();
};

struct TileSourceConfig {
    QString name;  // area code and cache folder name
    QString title;
    QString urlTemplate;
    int maxZoom = 0;
    int minZoom = 0;
    // Drawn on the map while the source is shown, as its licence asks.
    QString attribution;
    QString attributionUrl;
    // What {s} in the template stands for, one per request in turn.
    QStringList subdomains;
};

// OpenStreetMap's standard tiles and the standard map of Japan's national
// survey. Both are fetched only while their area is selected.
std::vector<TileSourceConfig> BuiltInTileSources();

constexpr int kMaxTileZoom = 24;

// Reads the tile source file. Blank lines and lines starting with '#' are
// skipped; a malformed line is skipped with a note in `problems`. A name must
// be 1 to 64 letters, digits, '-', '_' or '.', not only dots; the template an
// http or https URL with {z}, {x} and {y} (and {s} for a subdomain); zooms 0
// to kMaxTileZoom, an empty minimum meaning 0. Subdomains are separated by
// commas, or are single letters ("abc"); a template with {s} and none given
// gets a, b and c.
std::vector<TileSourceConfig> ParseTileSources(const QString& text,
                                               QStringList* problems = nullptr);

bool IsSafeSourceName(const QString& name);

struct TileKey {
    int z = 0;
    int x = 0;
    int y = 0;
    friend bool operator==(const TileKey&, const TileKey&) = default;
};

inline std::uint64_t TileKeyHash(const TileKey& k) {
    return (static_cast<std::uint64_t>(k.z) << 48) | (static_cast<std::uint64_t>(k.x) << 24) |
           static_cast<std::uint64_t>(k.y);
}

// {z}, {x}, {y} and {s}; a tile always gets the same subdomain, so the
// server's and our caches see one URL per tile.
QString ExpandTileUrl(const QString& urlTemplate, const TileKey& key,
                      const QStringList& subdomains = {});
QString TileCachePath(const QString& cacheDir, const QString& source, const TileKey& key);
// Where the caching headers of a cached tile are kept.
QString TileMetaPath(const QString& tilePath);
// MBTiles rows count from the south.
inline int TmsRow(int z, int y) {
    return ((1 << z) - 1) - y;
}

}  // namespace tobrel
