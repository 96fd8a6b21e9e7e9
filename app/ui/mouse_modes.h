#pragma once
// What a click on the map does. Browsing: a plain click does nothing beyond
// the map's own panning, and Ctrl or Shift places a waypoint. Sketching a
// track: Ctrl adds the point under the mouse, Shift takes the last one away.

#include <functional>

#include <Qt>

namespace tobrel {

class TreeController;

class MouseMode {
  public:
    virtual ~MouseMode() = default;
    virtual void MouseUp(Qt::KeyboardModifiers modifiers, int x, int y) = 0;
};

class PlaceWaypointMode : public MouseMode {
  public:
    using Place = std::function<void(int x, int y)>;
    explicit PlaceWaypointMode(Place place) : place_(std::move(place)) {}
    void MouseUp(Qt::KeyboardModifiers, int x, int y) override { place_(x, y); }

  private:
    Place place_;
};

class BrowseMode : public MouseMode {
  public:
    explicit BrowseMode(MouseMode& placeWaypoint) : placeWaypoint_(placeWaypoint) {}
    void MouseUp(Qt::KeyboardModifiers modifiers, int x, int y) override;

  private:
    MouseMode& placeWaypoint_;
};

class SketchTrackMode : public MouseMode {
  public:
    explicit SketchTrackMode(TreeController& tree) : tree_(tree) {}
    void MouseUp(Qt::KeyboardModifiers modifiers, int x, int y) override;

  private:
    TreeController& tree_;
};

}  // namespace tobrel
