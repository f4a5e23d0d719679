// A skinned dialog moved to a monitor of another scale: the window takes the
// system's rectangle, its places and its font the new DPI, and the window's
// own art is reloaded once.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/core/dpi_scale.h"
#include "skin/skinned_dialog.h"

namespace qlx::skin {
namespace {

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

constexpr Place kPlaces[] = {{101, 10, 12, 80, 16}, {102, 100, 40, 72, 24}};

class ScaledDialog : public SkinnedDialog {
public:
    int reloads = 0;

private:
    BOOL OnInit() override {
        UsePaperBackground();
        LayOut(kPlaces);
        return TRUE;
    }
    void OnDpiChanged() override { ++reloads; }
};

RECT PlaceOf(HWND dialog, int control) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, control), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LONG FontHeight(HWND window) {
    LOGFONTA look{};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)), sizeof look,
                 &look);
    return look.lfHeight < 0 ? -look.lfHeight : look.lfHeight;
}

TEST(SkinnedDialogDpi, AMoveToAnotherScaleRedoesTheWindowItsPlacesAndItsFont) {
    ScaledDialog dialog;
    HWND window = dialog.Create(::GetModuleHandleA(nullptr), 100, nullptr);
    ASSERT_NE(window, nullptr);
    const int before = dialog.Dpi();
    const LONG fontBefore = FontHeight(::GetDlgItem(window, 101));
    ASSERT_GT(fontBefore, 0);

    struct Step {
        int dpi;
        int reloads; // the same DPI again changes nothing
    } steps[] = {{before * 2, 1}, {before * 2, 1}, {before * 3 / 2, 2}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.dpi);
        RECT suggested{30, 40, 30 + ScaleForDpi(300, step.dpi), 40 + ScaleForDpi(200, step.dpi)};
        ::SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi),
                       reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(dialog.Dpi(), step.dpi);
        EXPECT_EQ(dialog.reloads, step.reloads);
        RECT frame{};
        ::GetWindowRect(window, &frame);
        EXPECT_EQ(frame.left, suggested.left);
        EXPECT_EQ(frame.top, suggested.top);
        EXPECT_EQ(frame.right - frame.left, suggested.right - suggested.left);
        EXPECT_EQ(frame.bottom - frame.top, suggested.bottom - suggested.top);
        for (const Place& place : kPlaces) {
            const RECT at = PlaceOf(window, place.control);
            EXPECT_EQ(at.left, ScaleForDpi(place.x, step.dpi)) << place.control;
            EXPECT_EQ(at.top, ScaleForDpi(place.y, step.dpi)) << place.control;
            EXPECT_EQ(at.right - at.left, ScaleForDpi(place.width, step.dpi)) << place.control;
            EXPECT_EQ(at.bottom - at.top, ScaleForDpi(place.height, step.dpi)) << place.control;
        }
        // Every control's font at the new scale, from the first DPI on
        // (not from the one before: rounding would drift).
        const LONG expected = ::MulDiv(fontBefore, step.dpi, before);
        for (int control : {101, 102}) {
            EXPECT_NEAR(FontHeight(::GetDlgItem(window, control)), expected, 1) << control;
        }
    }
    ::DestroyWindow(window);
}

} // namespace
} // namespace qlx::skin
