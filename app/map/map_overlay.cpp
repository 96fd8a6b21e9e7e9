#include "map/map_overlay.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>

#include <QEvent>
#include <QLayout>
#include <QSplitter>
#include <QTreeWidgetItem>

#include "data/ifstring.h"
#include "data/tobrel_file.h"
#include "text/cp932.h"

namespace tobrel {

namespace {

QString FromStore(const char* cp932) {
    return QString::fromStdString(sorvane::cp932::ToUtf8(cp932 != nullptr ? cp932 : ""));
}

// Keeps a widget the size of its parent (the parent has no layout to do it).
class FillParent : public QObject {
  public:
    explicit FillParent(QWidget* child) : QObject(child), child_(child) {
        child_->parentWidget()->installEventFilter(this);
        child_->setGeometry(child_->parentWidget()->rect());
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == child_->parentWidget()) {
            child_->setGeometry(child_->parentWidget()->rect());
        }
        return false;
    }

  private:
    QWidget* child_;
};

}  // namespace

QString NodeText(const QString& name, std::int32_t elementId) {
    return QStringLiteral("%1/%2").arg(name).arg(elementId);
}

std::int32_t ElementIdOfNodeText(const QString& text) {
    const std::string bytes = sorvane::cp932::FromUtf8(text.toStdString());
    ifstring tokens(bytes, "/");
    std::string last;
    int count = 0;
    while (const char* token = tokens.NextToken(false)) {
        last = token;
        ++count;
    }
    if (count < 2) {
        return 0;  // no "/id" part
    }
    errno = 0;
    const long value = std::strtol(last.c_str(), nullptr, 10);
    if (errno != 0 || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

MapOverlay::MapOverlay(MapCtrl* map, DiagnosticHandler diagnostics)
    : map_(map), diagnostics_(std::move(diagnostics)) {
    if (!diagnostics_) {
        diagnostics_ = [](const QString& message) { qWarning("%s", qPrintable(message)); };
    }
    if (map_ == nullptr) {
        Diagnose("MPSObject");
        return;
    }
    QWidget* parent = map_->parentWidget();
    if (parent != nullptr && parent->layout() == nullptr &&
        qobject_cast<QSplitter*>(parent) == nullptr) {
        new FillParent(map_);
    }
    service_ = map_->MPSObject();
    if (!service_) {
        Diagnose("MPSObject");
        return;
    }
    client_ = service_->GetClient();
    if (!client_) {
        Diagnose("GetClient");
        return;
    }
    clientId_ = client_->ClientID();
    collection_ = client_->GetCollection();
    if (!collection_) {
        Diagnose("GetCollection");
        return;
    }
    collectionId_ = collection_->CollectionID();
}

MapOverlay::~MapOverlay() {
    if (collection_ && !client_->ReleaseCollection(collectionId_)) {
        Diagnose("ReleaseCollection");
    }
    if (client_ && !service_->ReleaseClient(clientId_)) {
        Diagnose("ReleaseClient");
    }
}

void MapOverlay::Diagnose(const char* step) const {
    diagnostics_(QStringLiteral("MapOverlay: %1 failed: S_OK == hresult").arg(QLatin1String(step)));
}

// ---------------------------------------------------------------- lists and settings

int MapOverlay::GetAreaCount() const {
    return map_ ? map_->AreaCollect().Count() : 0;
}

bool MapOverlay::GetAreaItem(int index, QString* areaCode, QString* title) const {
    const auto item = map_ ? map_->AreaCollect().Item(index) : std::nullopt;
    if (areaCode)
        *areaCode = item ? item->AreaCode : QString();
    if (title)
        *title = item ? item->Title : QString();
    return item.has_value();
}

void MapOverlay::SelectArea(const QString& areaCode) {
    if (map_) {
        map_->SetAreaCode(areaCode);
    }
}

int MapOverlay::GetLayerCount() const {
    return map_ ? map_->LayerCollect().Count() : 0;
}

bool MapOverlay::GetLayerItem(int index, std::int32_t* scale, QString* title) const {
    const auto item = map_ ? map_->LayerCollect().Item(index) : std::nullopt;
    if (scale)
        *scale = item ? item->LayerScale : 0;
    if (title)
        *title = item ? item->Title : QString();
    return item.has_value();
}

bool MapOverlay::IsLayerEnabled(int index) const {
    const auto item = map_ ? map_->LayerCollect().Item(index) : std::nullopt;
    return item && item->Enabled;
}

void MapOverlay::SetLayerScale(std::int32_t scale) {
    if (map_) {
        map_->SetLayerScale(scale);
    }
}

std::int32_t MapOverlay::GetLayerScale() const {
    return map_ ? map_->LayerScale() : 0;
}

void MapOverlay::SetPalette(int palette) {
    if (map_) {
        map_->SetPaletteID(static_cast<std::int16_t>(palette));
    }
}

void MapOverlay::SetScrollBar(bool on) {
    if (map_) {
        map_->SetScrollBar(on);
    }
}

// ---------------------------------------------------------------- positions

bool MapOverlay::CentreMap(std::int32_t latitude, std::int32_t longitude, int mode,
                           std::int32_t scale) {
    return map_ && map_->MoveTo(latitude, longitude, mode, scale);
}

void MapOverlay::CentreOnPosition(double latitude, double longitude) {
    CentreMap(DegreesToMapAngle(latitude), DegreesToMapAngle(longitude), 1, 0);
}

bool MapOverlay::PixelToLatLong(int x, int y, std::int32_t* latitude,
                                std::int32_t* longitude) const {
    const auto p = map_ ? map_->GetLatLongPoint(x, y) : std::nullopt;
    *latitude = p ? p->latitude : 0;
    *longitude = p ? p->longitude : 0;
    return p.has_value();
}

bool MapOverlay::MouseLatLong(std::int32_t* latitude, std::int32_t* longitude) const {
    const auto p = map_ ? map_->GetMouseLatLong() : std::nullopt;
    *latitude = p ? p->latitude : 0;
    *longitude = p ? p->longitude : 0;
    return p.has_value();
}

// ---------------------------------------------------------------- drawing

std::int32_t MapOverlay::DrawPolyline(int n, const double* latitudes, const double* longitudes) {
    if (!collection_ || n < 1 || latitudes == nullptr || longitudes == nullptr) {
        return 0;
    }
    std::vector<std::int32_t> lats(static_cast<std::size_t>(n));
    std::vector<std::int32_t> lons(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        lats[static_cast<std::size_t>(i)] = DegreesToMapAngle(latitudes[i]);
        lons[static_cast<std::size_t>(i)] = DegreesToMapAngle(longitudes[i]);
    }
    return collection_->AddPolyline(lats, lons, n, 0);
}

std::int32_t MapOverlay::DrawText(double latitude, double longitude, const QString& text) {
    if (!collection_ || !map_) {
        return 0;
    }
    const auto pixel = map_->GetLogPoint(DegreesToMapAngle(latitude), DegreesToMapAngle(longitude));
    if (!pixel) {
        return 0;
    }
    return collection_->AddText(pixel->x(), pixel->y(), text, 0, QVariant(0), QVariant(0));
}

void MapOverlay::EraseElement(std::int32_t elementId) {
    if (collection_) {
        collection_->DeleteElement(elementId);
    }
}

// ---------------------------------------------------------------- sketch

void MapOverlay::ClearSketch() {
    sketch_.latitudes.clear();
    sketch_.longitudes.clear();
}

std::int32_t MapOverlay::UpdateSketch(bool remove) {
    if (remove) {
        if (sketch_.size() > 0) {
            sketch_.latitudes.pop_back();
            sketch_.longitudes.pop_back();
        }
    } else {
        std::int32_t lat = 0;
        std::int32_t lon = 0;
        // Without a mouse position there is no point to add (not 0, 0).
        if (MouseLatLong(&lat, &lon)) {
            sketch_.latitudes.push_back(lat);
            sketch_.longitudes.push_back(lon);
        }
    }
    if (sketch_.size() < 2) {
        return -1;
    }
    if (!collection_) {
        return 0;
    }
    return collection_->AddPolyline(sketch_.latitudes, sketch_.longitudes,
                                    static_cast<std::int32_t>(sketch_.size()), 0);
}

std::optional<PlacedWaypoint> MapOverlay::PlaceWaypoint(int x, int y) {
    if (!prompt_) {
        return std::nullopt;
    }
    const std::optional<QString> name = prompt_(QString::fromUtf8(kWaypointNameCaption));
    if (!name) {
        return std::nullopt;
    }
    PlacedWaypoint placed;
    placed.name = *name;
    placed.elementId =
        collection_ ? collection_->AddText(x, y, *name, 0, QVariant(0), QVariant(0)) : 0;
    std::int32_t lat = 0;
    std::int32_t lon = 0;
    if (!MouseLatLong(&lat, &lon)) {
        PixelToLatLong(x, y, &lat, &lon);  // the click itself, not 0, 0
    }
    placed.latitude = lat / kMapUnitsPerDegree;
    placed.longitude = lon / kMapUnitsPerDegree;
    return placed;
}

// ---------------------------------------------------------------- store and tree

void MapOverlay::DrawAllTracks(const TobrelFile& store, QTreeWidgetItem* trackRoot,
                               TrackCursor* cursor) {
    std::vector<double> lats;
    std::vector<double> lons;
    for (int t = 0; t < store.GetTrackCount(); ++t) {
        char nameBytes[128] = {};
        store.GetTrackName(t, nameBytes, sizeof nameBytes);
        const QString name = FromStore(nameBytes);
        const int segments = store.GetTrackSegmentCount(t);
        const int points = store.GetTrackPointCount(t);
        int k = 0;  // points are read on from here, segment after segment
        for (int s = 1; s <= segments; ++s) {
            int first = -1;
            int last = -1;
            store.FindSegmentRange(t, s, &first, &last);
            if (first == -1 || last == -1) {
                break;
            }
            // Never read past the track's points (segments out of order).
            const int n = std::min(last - first + 1, points - k);
            if (n < 1) {
                break;
            }
            lats.resize(static_cast<std::size_t>(n));
            lons.resize(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                double alt = 0;
                store.GetTrackPoint(t, k + i, &lats[static_cast<std::size_t>(i)],
                                    &lons[static_cast<std::size_t>(i)], &alt);
            }
            k += n;
            const std::int32_t id = DrawPolyline(n, lats.data(), lons.data());
            if (cursor != nullptr) {
                cursor->CurrentElementId = id;
                cursor->CurrentName = name;
            }
            if (trackRoot != nullptr) {
                auto* node = new QTreeWidgetItem(trackRoot);
                node->setText(0, NodeText(name, id));
                if (cursor != nullptr) {
                    cursor->CurrentNode = node;
                }
            }
        }
    }
}

void MapOverlay::DrawAllWaypoints(const TobrelFile& store, QTreeWidgetItem* waypointRoot) {
    const std::int32_t saved = GetLayerScale();
    SetLayerScale(kWaypointLabelScale);
    for (int i = 0;; ++i) {
        char ident[64] = {};
        if (store.GetWaypointIdent(i, ident, sizeof ident) == nullptr) {
            break;
        }
        double lat = 0;
        double lon = 0;
        double alt = 0;
        store.GetWaypointPosition(i, &lat, &lon, &alt);
        const QString name = FromStore(ident);
        const std::int32_t id = DrawText(lat, lon, name);
        if (waypointRoot != nullptr) {
            auto* node = new QTreeWidgetItem(waypointRoot);
            node->setText(0, NodeText(name, id));
        }
    }
    SetLayerScale(saved);
}

void MapOverlay::EraseChildren(QTreeWidgetItem* root) {
    if (root == nullptr) {
        return;
    }
    while (root->childCount() > 0) {
        QTreeWidgetItem* child = root->child(0);
        EraseElement(ElementIdOfNodeText(child->text(0)));
        delete child;
    }
}

}  // namespace tobrel
