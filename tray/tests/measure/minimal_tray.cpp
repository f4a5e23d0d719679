// The yardstick for the tray program's start-up: a Win32 program that only
// creates a window and a named mutex, then waits for WM_CLOSE.
//   minimal_tray <mutex name> [ole]
// With "ole" it first initialises OLE as the tray program does, to show
// what that costs by itself.
#include <windows.h>
#include <ole2.h>

#include <optional>
#include <string>

#include "common/win32/com_apartment.h"

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    std::string mutexName = commandLine ? commandLine : "";
    const size_t space = mutexName.find(' ');
    const bool withOle = space != std::string::npos && mutexName.substr(space + 1) == "ole";
    mutexName = mutexName.substr(0, space);
    std::optional<qlx::OleApartment> ole;
    if (withOle && !ole.emplace().entered()) {
        return 1;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "QlxMinimalTray";
    ::RegisterClassA(&windowClass);
    HWND window = ::CreateWindowExA(0, "QlxMinimalTray", "Minimal", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                    100, nullptr, nullptr, instance, nullptr);
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, mutexName.c_str());
    if (!window || !mutex) {
        return 1;
    }
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    ::CloseHandle(mutex);
    return 0;
}
