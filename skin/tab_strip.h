#pragma once
// A tab control painted as a row of buttons. It stays a tab control with
// its items' texts; only its painting comes from the skin.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

namespace qlx::skin {

// With `faces` (normal, hot, pressed lists, one cell per item) the cells
// come from the lists; without, from the colours, with `icons` (one per
// item) above the text.
struct TabStripLook {
    std::array<HIMAGELIST, 3> faces{};
    HIMAGELIST icons = nullptr;
    int textIndent = 0; // left margin of the text over a face
};
void MakeTabStrip(HWND tab, const TabStripLook& look);
void SetTabStripLook(HWND tab, const TabStripLook& look);
// Adds items with these texts, in order.
void AddTabItems(HWND tab, const std::vector<std::string>& texts);
// The text of item `index`.
std::string TabItemText(HWND tab, int index);

} // namespace qlx::skin
