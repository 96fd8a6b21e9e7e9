#pragma once
// The Map menu's area, layer scale and colour items, kept in step with the
// map: built from the overlay's lists, checked and enabled as the map's layer
// changes, and the map's centre followed into the preferences.

#include <cstdint>

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;

namespace tobrel {

class MapOverlay;
struct Preferences;

class MapMenus : public QObject {
    Q_OBJECT
  public:
    MapMenus(MapOverlay& overlay, Preferences& prefs, QMenu* areaMenu, QMenu* scaleMenu,
             QObject* parent = nullptr);

    // One item per area, then the last area of the list selected.
    void BuildAreaMenu();
    // One item per layer scale; nothing checked.
    void BuildScaleMenu();

    void SelectArea(int index);
    void SelectScale(int index);
    void SelectPalette(int palette);

    // The map's events.
    void LayerChanged(std::int32_t newLayerScale, int mapWidth, int mapHeight);
    void MapMoved(std::int32_t latitude, std::int32_t longitude);

  private:
    bool ScaleMenuMatchesLayers() const;

    MapOverlay& overlay_;
    Preferences& prefs_;
    QMenu* areaMenu_;
    QMenu* scaleMenu_;
    QActionGroup* areas_;
    QActionGroup* scales_;
};

}  // namespace tobrel
