// The harness's display prefix: an X server and Wine's system tray stand in
// for the notification area, which the null display driver lacks.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

TEST(DisplayHarness, NotificationAreaAcceptsAnIcon) {
    HWND window = ::CreateWindowExA(0, "STATIC", "tray owner", 0, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    lstrcpynA(data.szTip, "Quellix harness", sizeof data.szTip);
    EXPECT_TRUE(::Shell_NotifyIconA(NIM_ADD, &data));
    ::Shell_NotifyIconA(NIM_DELETE, &data);
    ::DestroyWindow(window);
}

} // namespace
