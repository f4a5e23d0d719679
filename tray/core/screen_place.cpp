#include "tray/core/screen_place.h"

#include <algorithm>

namespace qlx::tray {

namespace {

// `start` moved so that [start, start + size) lies in [low, high), the low
// edge winning when it cannot.
int Clamp(int start, int size, int low, int high) {
    return std::max(low, std::min(start, high - size));
}

} // namespace

ScreenRect MoveInto(ScreenRect window, ScreenRect area) {
    const int width = window.Width();
    const int height = window.Height();
    const int left = Clamp(window.left, width, area.left, area.right);
    const int top = Clamp(window.top, height, area.top, area.bottom);
    return {left, top, left + width, top + height};
}

ScreenRect TrayIconCorner(ScreenRect bar, TaskbarEdge edge) {
    switch (edge) {
    case TaskbarEdge::Right:
        return {bar.left, bar.bottom - 1, bar.left + 1, bar.bottom};
    case TaskbarEdge::Bottom:
        return {bar.right - 1, bar.top, bar.right, bar.top + 1};
    case TaskbarEdge::Left:
    case TaskbarEdge::Top:
        break;
    }
    return {bar.right - 1, bar.bottom - 1, bar.right, bar.bottom};
}

ScreenRect PlaceBesideTrayIcon(ScreenRect icon, TaskbarEdge edge, ScreenRect workArea, int width,
                               int height) {
    ScreenRect place{};
    switch (edge) {
    case TaskbarEdge::Left: // to the right of the icon, its bottom at the icon's
        place = {icon.right, icon.bottom - height, icon.right + width, icon.bottom};
        break;
    case TaskbarEdge::Right:
        place = {icon.left - width, icon.bottom - height, icon.left, icon.bottom};
        break;
    case TaskbarEdge::Top: // below the icon, its right edge at the icon's
        place = {icon.right - width, icon.bottom, icon.right, icon.bottom + height};
        break;
    case TaskbarEdge::Bottom:
        place = {icon.right - width, icon.top - height, icon.right, icon.top};
        break;
    }
    return MoveInto(place, workArea);
}

} // namespace qlx::tray
