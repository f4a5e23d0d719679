#include "tray/app/screen_area.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace qlx::tray {

namespace {

std::optional<ScreenRect> WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !::GetMonitorInfoA(monitor, &info)) {
        return std::nullopt;
    }
    return ToScreenRect(info.rcWork);
}

// Shell_NotifyIconGetRect is there from Windows 7 on.
std::optional<ScreenRect> TrayIconRect(HWND owner, UINT iconId) {
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    auto getRect = reinterpret_cast<GetRect>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("shell32.dll"), "Shell_NotifyIconGetRect")));
    NOTIFYICONIDENTIFIER id{};
    id.cbSize = sizeof id;
    id.hWnd = owner;
    id.uID = iconId;
    RECT rect{};
    if (getRect && SUCCEEDED(getRect(&id, &rect))) {
        return ToScreenRect(rect);
    }
    return std::nullopt;
}

} // namespace

ScreenRect ToScreenRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

namespace {

// Wine's shell always reports a taskbar along the bottom of the screen; the
// tests stand one on another edge in for it, as QLX_TASKBAR="left 0 0 48 1024"
// (the edge, then its rectangle).
bool TaskbarStoodIn(APPBARDATA& bar) {
    char text[64] = {};
    if (!::GetEnvironmentVariableA("QLX_TASKBAR", text, sizeof text)) {
        return false;
    }
    char edge[8] = {};
    RECT& rc = bar.rc;
    if (std::sscanf(text, "%7s %ld %ld %ld %ld", edge, &rc.left, &rc.top, &rc.right, &rc.bottom) !=
        5) {
        return false;
    }
    const std::string name = edge;
    bar.uEdge = name == "left"    ? ABE_LEFT
                : name == "top"   ? ABE_TOP
                : name == "right" ? ABE_RIGHT
                                  : ABE_BOTTOM;
    return true;
}

} // namespace

std::optional<Taskbar> FindTaskbar() {
    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    if (!TaskbarStoodIn(bar) && !::SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) {
        return std::nullopt;
    }
    Taskbar taskbar;
    switch (bar.uEdge) {
    case ABE_LEFT:
        taskbar.edge = TaskbarEdge::Left;
        break;
    case ABE_TOP:
        taskbar.edge = TaskbarEdge::Top;
        break;
    case ABE_RIGHT:
        taskbar.edge = TaskbarEdge::Right;
        break;
    default:
        taskbar.edge = TaskbarEdge::Bottom;
        break;
    }
    taskbar.rect = ToScreenRect(bar.rc);
    taskbar.monitor = ::MonitorFromRect(&bar.rc, MONITOR_DEFAULTTOPRIMARY);
    return taskbar;
}

ScreenRect TrayWorkArea() {
    if (const auto taskbar = FindTaskbar()) {
        if (const auto area = WorkAreaOf(taskbar->monitor)) {
            return *area;
        }
    }
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return ToScreenRect(work);
}

bool KeepOnAMonitor(HWND window) {
    RECT rect{};
    if (!window || !::GetWindowRect(window, &rect) ||
        ::MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) {
        return false;
    }
    const auto area = WorkAreaOf(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST));
    if (!area) {
        return false;
    }
    const ScreenRect moved = MoveInto(ToScreenRect(rect), *area);
    ::SetWindowPos(window, nullptr, moved.left, moved.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

std::optional<ScreenRect> PlaceOffTheUsualTaskbar(HWND owner, UINT iconId, int width, int height) {
    const auto taskbar = FindTaskbar();
    const HMONITOR primary = ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (!taskbar || (taskbar->edge == TaskbarEdge::Bottom && taskbar->monitor == primary)) {
        return std::nullopt;
    }
    const auto area = WorkAreaOf(taskbar->monitor);
    if (!area) {
        return std::nullopt;
    }
    // Without the icon's own rectangle (Wine has none to give), the
    // taskbar's far corner holds it.
    const ScreenRect icon =
        TrayIconRect(owner, iconId).value_or(TrayIconCorner(taskbar->rect, taskbar->edge));
    return PlaceBesideTrayIcon(icon, taskbar->edge, *area, width, height);
}

} // namespace qlx::tray
