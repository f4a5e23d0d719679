#pragma once
// A skinned pop-up menu: owner-drawn items that keep their texts.
#include <windows.h>

#include <string>
#include <vector>

namespace qlx::skin {

class SkinMenu {
public:
    struct Item {
        std::string text; // empty: separator
        UINT command = 0;
        HBITMAP icon = nullptr; // 16×16, magenta transparent; not owned
        bool enabled = true;
    };
    // Shows the menu at `x`,`y` (screen) with `flags` of TrackPopupMenu and
    // returns the chosen command, 0 if none. The owner's window procedure
    // passes WM_MEASUREITEM and WM_DRAWITEM of menus to the two functions
    // below while it is open (a SkinnedDialog does).
    static UINT Track(HWND owner, const std::vector<Item>& items, int x, int y, UINT flags);
    static bool Measure(MEASUREITEMSTRUCT& item);
    static bool Draw(const DRAWITEMSTRUCT& item);
};

} // namespace qlx::skin
