#pragma once
// The desktop as the windows need it: monitors' work areas, the taskbar's
// edge, and the tray icon's place.
#include <windows.h>

#include <optional>

#include "tray/core/screen_place.h"

namespace qlx::tray {

ScreenRect ToScreenRect(const RECT& rect);

// The taskbar's edge and monitor, when a taskbar answers.
struct Taskbar {
    TaskbarEdge edge = TaskbarEdge::Bottom;
    ScreenRect rect;
    HMONITOR monitor = nullptr;
};
std::optional<Taskbar> FindTaskbar();

// The work area of the taskbar's monitor (the primary one without a taskbar).
ScreenRect TrayWorkArea();

// Moves `window` onto the nearest monitor's work area when it lies off
// every monitor; true if it moved.
bool KeepOnAMonitor(HWND window);

// Where a window of `width` by `height` opened from the tray icon `iconId`
// of `owner` goes when the taskbar is not at the bottom of the primary
// monitor; nothing in the usual case (or with no taskbar at all).
std::optional<ScreenRect> PlaceOffTheUsualTaskbar(HWND owner, UINT iconId, int width, int height);

} // namespace qlx::tray
