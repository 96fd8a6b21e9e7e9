#include "map/drawing_service.h"

#include <limits>

namespace tobrel {

bool DrawingCore::IsLive(std::int32_t client, std::int32_t collection) const {
    const auto it = clients.find(client);
    return host != nullptr && it != clients.end() && it->second.count(collection) != 0;
}

std::int32_t DrawingCore::TakeElementId() {
    if (nextElementId == std::numeric_limits<std::int32_t>::max()) {
        return 0;  // spent: never hand out an identifier twice
    }
    return nextElementId++;
}

std::int32_t MpsCollection::AddPolyline(const std::vector<std::int32_t>& latitudes,
                                        const std::vector<std::int32_t>& longitudes,
                                        std::int32_t count, std::int16_t /*flags*/) {
    if (!core_->IsLive(clientId_, id_) || count < 1 ||
        static_cast<std::size_t>(count) > latitudes.size() ||
        static_cast<std::size_t>(count) > longitudes.size()) {
        return 0;
    }
    std::vector<WorldPoint> points;
    points.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto p = core_->host->LocalToWorld({latitudes[i], longitudes[i]});
        if (!p) {
            return 0;
        }
        points.push_back(*p);
    }
    ElementStore::Unwrap(&points);
    const std::int32_t id = core_->TakeElementId();
    if (id == 0) {
        return 0;
    }
    core_->elements.AddPolyline(id, id_, std::move(points));
    core_->host->ElementsChanged();
    return id;
}

std::int32_t MpsCollection::AddText(std::int32_t x, std::int32_t y, const QString& text,
                                    std::int16_t /*flags*/, const QVariant& /*v1*/,
                                    const QVariant& /*v2*/) {
    if (!core_->IsLive(clientId_, id_)) {
        return 0;
    }
    const auto anchor = core_->host->PixelToWorld(x, y);
    if (!anchor) {
        return 0;
    }
    const std::int32_t id = core_->TakeElementId();
    if (id == 0) {
        return 0;
    }
    core_->elements.AddText(id, id_, *anchor, text, core_->host->LabelFont());
    core_->host->ElementsChanged();
    return id;
}

bool MpsCollection::DeleteElement(std::int32_t id) {
    if (!core_->IsLive(clientId_, id_) || !core_->elements.Remove(id, id_)) {
        return false;
    }
    core_->host->ElementsChanged();
    return true;
}

std::shared_ptr<MpsCollection> MpsClient::GetCollection() {
    const auto it = core_->clients.find(id_);
    if (core_->host == nullptr || it == core_->clients.end() ||
        it->second.size() >= DrawingCore::kMaxCollectionsPerClient ||
        core_->nextCollectionId == std::numeric_limits<std::int32_t>::max()) {
        return nullptr;
    }
    const std::int32_t id = core_->nextCollectionId++;
    it->second.insert(id);
    return std::make_shared<MpsCollection>(core_, id_, id);
}

bool MpsClient::ReleaseCollection(std::int32_t collectionId) {
    const auto it = core_->clients.find(id_);
    if (it == core_->clients.end() || it->second.erase(collectionId) == 0) {
        return false;
    }
    core_->elements.RemoveOwner(collectionId);
    if (core_->host != nullptr) {
        core_->host->ElementsChanged();
    }
    return true;
}

std::shared_ptr<MpsClient> MpsObject::GetClient() {
    if (core_->host == nullptr || core_->clients.size() >= DrawingCore::kMaxClients ||
        core_->nextClientId == std::numeric_limits<std::int32_t>::max()) {
        return nullptr;
    }
    const std::int32_t id = core_->nextClientId++;
    core_->clients[id];
    return std::make_shared<MpsClient>(core_, id);
}

bool MpsObject::ReleaseClient(std::int32_t clientId) {
    const auto it = core_->clients.find(clientId);
    if (it == core_->clients.end()) {
        return false;
    }
    for (std::int32_t collection : it->second) {
        core_->elements.RemoveOwner(collection);
    }
    core_->clients.erase(it);
    if (core_->host != nullptr) {
        core_->host->ElementsChanged();
    }
    return true;
}

}  // namespace tobrel
