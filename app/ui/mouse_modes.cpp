#include "ui/mouse_modes.h"

#include "ui/tree_controller.h"

namespace tobrel {

namespace {

bool CtrlOrShift(Qt::KeyboardModifiers modifiers) {
    return (modifiers & (Qt::ControlModifier | Qt::ShiftModifier)) != 0;
}

}  // namespace

void BrowseMode::MouseUp(Qt::KeyboardModifiers modifiers, int x, int y) {
    if (CtrlOrShift(modifiers))
        placeWaypoint_.MouseUp(modifiers, x, y);
}

void SketchTrackMode::MouseUp(Qt::KeyboardModifiers modifiers, int, int) {
    if (CtrlOrShift(modifiers))
        tree_.UpdateSketch((modifiers & Qt::ShiftModifier) != 0);
}

}  // namespace tobrel
