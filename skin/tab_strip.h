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
    // Items are commands, not pages: the arrow keys only move the focus
    // cue, and Enter or Space acts on the item as a click does.
    bool itemsAreButtons = false;
};
void MakeTabStrip(HWND tab, const TabStripLook& look);
void SetTabStripLook(HWND tab, const TabStripLook& look);
// Adds items with these texts, in order.
void AddTabItems(HWND tab, const std::vector<std::string>& texts);
// Item `index` acts as a click on it does: it becomes the selection and the
// parent hears of the change.
void ActivateTabItem(HWND tab, int index);
// The text of item `index`.
std::string TabItemText(HWND tab, int index);

} // namespace qlx::skin
