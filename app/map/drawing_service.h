#pragma once
// The map widget's drawing service: a service object hands out clients, a
// client hands out collections, and a collection adds and deletes elements.
// Element, client and collection identifiers are never reused while the widget
// lives. Calls report failure as 0 or false (an identifier is never 0). Every
// object stays safe to call after the widget is gone; it then only fails.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <QFont>
#include <QString>
#include <QVariant>

#include "map/element_store.h"
#include "map/map_projection.h"

namespace tobrel {

// What the service needs from the widget that shows its elements.
class DrawingHost {
  public:
    virtual ~DrawingHost() = default;
    // A position in the widget's datum (map angles) to WGS 84 world coordinates.
    virtual std::optional<WorldPoint> LocalToWorld(const MapAngles& angles) const = 0;
    // A widget pixel of the current view to world coordinates.
    virtual std::optional<WorldPoint> PixelToWorld(int x, int y) const = 0;
    virtual QFont LabelFont() const = 0;
    virtual void ElementsChanged() = 0;
};

// Shared by the widget and every service object.
struct DrawingCore {
    DrawingHost* host = nullptr;  // cleared when the widget goes away
    ElementStore elements;
    std::int32_t nextElementId = 1;
    std::int32_t nextClientId = 1;
    std::int32_t nextCollectionId = 1;
    std::map<std::int32_t, std::set<std::int32_t>> clients;  // client id -> collection ids

    static constexpr std::size_t kMaxClients = 64;
    static constexpr std::size_t kMaxCollectionsPerClient = 64;

    bool IsLive(std::int32_t client, std::int32_t collection) const;
    std::int32_t TakeElementId();
};

class MpsCollection {
  public:
    MpsCollection(std::shared_ptr<DrawingCore> core, std::int32_t clientId, std::int32_t id)
        : core_(std::move(core)), clientId_(clientId), id_(id) {}

    std::int32_t CollectionID() const { return id_; }

    // `count` points of the two arrays (map angles in the widget's datum) as
    // one polyline; `flags` is reserved (0). Returns the element identifier, 0
    // when count is not 1 to the array sizes or the collection is released.
    std::int32_t AddPolyline(const std::vector<std::int32_t>& latitudes,
                             const std::vector<std::int32_t>& longitudes, std::int32_t count,
                             std::int16_t flags);
    // A label anchored at the map position under widget pixel (x, y) of the
    // current view; it stays with that position when the view changes.
    std::int32_t AddText(std::int32_t x, std::int32_t y, const QString& text, std::int16_t flags,
                         const QVariant& v1 = {}, const QVariant& v2 = {});
    bool DeleteElement(std::int32_t id);

  private:
    std::shared_ptr<DrawingCore> core_;
    std::int32_t clientId_;
    std::int32_t id_;
};

class MpsClient {
  public:
    MpsClient(std::shared_ptr<DrawingCore> core, std::int32_t id)
        : core_(std::move(core)), id_(id) {}

    std::int32_t ClientID() const { return id_; }
    // Null when the client is released, has too many collections or the widget is gone.
    std::shared_ptr<MpsCollection> GetCollection();
    // Removes the collection and its elements.
    bool ReleaseCollection(std::int32_t collectionId);

  private:
    std::shared_ptr<DrawingCore> core_;
    std::int32_t id_;
};

class MpsObject {
  public:
    explicit MpsObject(std::shared_ptr<DrawingCore> core) : core_(std::move(core)) {}

    // Null when too many clients are live or the widget is gone.
    std::shared_ptr<MpsClient> GetClient();
    // Removes the client with its collections and their elements.
    bool ReleaseClient(std::int32_t clientId);

  private:
    std::shared_ptr<DrawingCore> core_;
};

}  // namespace tobrel
