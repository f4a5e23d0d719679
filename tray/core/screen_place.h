#pragma once
// Where windows go on a desktop of several monitors: back onto a monitor
// when a place lies off every one, and beside the tray icon when the
// taskbar is not at the bottom of the primary monitor.
namespace qlx::tray {

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const ScreenRect&) const = default;
};

// `window` moved the least distance that puts it wholly inside `area` (its
// top left corner when it is larger than the area).
ScreenRect MoveInto(ScreenRect window, ScreenRect area);

enum class TaskbarEdge { Left, Top, Right, Bottom };

// Where the tray icon is taken to be when the shell does not say: the far
// end of the taskbar `bar` along its edge toward the desktop, so that a
// window beside it stays off the taskbar.
ScreenRect TrayIconCorner(ScreenRect bar, TaskbarEdge edge);

// A window of `width` by `height` opened from the tray icon at `icon`:
// beside it, away from the taskbar's edge, inside `workArea` of the icon's
// monitor.
ScreenRect PlaceBesideTrayIcon(ScreenRect icon, TaskbarEdge edge, ScreenRect workArea, int width,
                               int height);

} // namespace qlx::tray
