#include "ui/map_menus.h"

#include <QActionGroup>
#include <QMenu>

#include "map/map_overlay.h"
#include "ui/settings/preferences.h"

namespace tobrel {

MapMenus::MapMenus(MapOverlay& overlay, Preferences& prefs, QMenu* areaMenu, QMenu* scaleMenu,
                   QObject* parent)
    : QObject(parent),
      overlay_(overlay),
      prefs_(prefs),
      areaMenu_(areaMenu),
      scaleMenu_(scaleMenu),
      areas_(new QActionGroup(this)),
      scales_(new QActionGroup(this)) {}

void MapMenus::BuildAreaMenu() {
    areaMenu_->clear();
    const int count = overlay_.GetAreaCount();
    for (int i = 0; i < count; ++i) {
        QString title;
        overlay_.GetAreaItem(i, nullptr, &title);
        QAction* item = areaMenu_->addAction(title);
        item->setCheckable(true);
        item->setData(i);
        areas_->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { SelectArea(i); });
    }
    if (count > 0) {
        QString code;
        overlay_.GetAreaItem(count - 1, &code, nullptr);
        overlay_.SelectArea(code);
    }
}

void MapMenus::BuildScaleMenu() {
    const QList<QAction*> old = scaleMenu_->actions();
    for (auto it = old.crbegin(); it != old.crend(); ++it) {
        scaleMenu_->removeAction(*it);
        delete *it;
    }
    const int count = overlay_.GetLayerCount();
    for (int i = 0; i < count; ++i) {
        QString title;
        overlay_.GetLayerItem(i, nullptr, &title);
        QAction* item = scaleMenu_->addAction(title);
        item->setCheckable(true);
        item->setData(i);
        item->setEnabled(overlay_.IsLayerEnabled(i));
        scales_->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { SelectScale(i); });
    }
}

void MapMenus::SelectArea(int index) {
    QString code;
    overlay_.GetAreaItem(index, &code, nullptr);
    overlay_.SelectArea(code);
    BuildScaleMenu();
    const QList<QAction*> items = areaMenu_->actions();
    if (index >= 0 && index < items.size())
        items[index]->setChecked(true);
}

void MapMenus::SelectScale(int index) {
    std::int32_t scale = 0;
    overlay_.GetLayerItem(index, &scale, nullptr);
    overlay_.SetLayerScale(scale);
    const QList<QAction*> items = scaleMenu_->actions();
    if (index >= 0 && index < items.size())
        items[index]->setChecked(true);
}

void MapMenus::SelectPalette(int palette) {
    overlay_.SetPalette(palette);
}

bool MapMenus::ScaleMenuMatchesLayers() const {
    return scaleMenu_->actions().size() == overlay_.GetLayerCount();
}

void MapMenus::LayerChanged(std::int32_t newLayerScale, int mapWidth, int mapHeight) {
    if (!ScaleMenuMatchesLayers())
        return;
    const QList<QAction*> items = scaleMenu_->actions();
    // An exclusive group keeps one check; uncheck through it to clear them all.
    scales_->setExclusive(false);
    for (int i = 0; i < items.size(); ++i) {
        std::int32_t scale = 0;
        overlay_.GetLayerItem(i, &scale, nullptr);
        items[i]->setChecked(scale == newLayerScale);
        items[i]->setEnabled(overlay_.IsLayerEnabled(i));
    }
    scales_->setExclusive(true);
    std::int32_t lat = 0;
    std::int32_t lon = 0;
    if (overlay_.PixelToLatLong(mapWidth / 2, mapHeight / 2, &lat, &lon)) {
        prefs_.LatitudeCenter = lat;
        prefs_.LongitudeCenter = lon;
    }
}

void MapMenus::MapMoved(std::int32_t latitude, std::int32_t longitude) {
    if (!ScaleMenuMatchesLayers())
        return;
    const QList<QAction*> items = scaleMenu_->actions();
    for (int i = 0; i < items.size(); ++i)
        items[i]->setEnabled(overlay_.IsLayerEnabled(i));
    prefs_.LatitudeCenter = latitude;
    prefs_.LongitudeCenter = longitude;
}

}  // namespace tobrel
