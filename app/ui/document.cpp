#include "ui/document.h"

namespace tobrel {

Document::Document(QObject* parent) : QObject(parent), store_(std::make_unique<TobrelFile>()) {}

Document::~Document() = default;

bool Document::IsEmpty() const {
    return store_->GetTrackCount() == 0 && store_->GetWaypointCount() == 0 &&
           store_->GetRouteCount() == 0;
}

void Document::ReplaceStore(std::unique_ptr<TobrelFile> store) {
    if (!store)
        return;
    *store_ = std::move(*store);
    emit StoreChanged();
}

void Document::NotifyEdited() {
    SetModified(true);
    emit StoreChanged();
}

void Document::SetPath(const QString& path) {
    if (path_ == path)
        return;
    path_ = path;
    emit PathChanged(path_);
}

void Document::SetModified(bool modified) {
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit ModifiedChanged(modified_);
}

}  // namespace tobrel
