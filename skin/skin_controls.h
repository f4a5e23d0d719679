#pragma once
// Owner-drawn standard controls: the controls stay ordinary buttons, tab
// controls and menus with their texts (screen readers and tests read them);
// only their painting comes from the skin.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

namespace qlx::skin {

// The skin's named colours (COLORREF, low byte red).
namespace colour {
inline constexpr COLORREF kPaper = 0xF4FCFF;
inline constexpr COLORREF kHighlight = 0x89DCFA;
inline constexpr COLORREF kAccent = 0x0484F7;
inline constexpr COLORREF kInk = 0x184978;
inline constexpr COLORREF kGreyInk = 0x8C8C8C;
} // namespace colour

// A brush of the paper colour, for WM_CTLCOLOR* of skinned dialogs.
HBRUSH PaperBrush();
// The answer to WM_CTLCOLORSTATIC of a skinned dialog: ink on paper.
INT_PTR PaperStatic(WPARAM dc);
// Draws the window's own text, in its font, into `where` of `dc`.
void DrawWindowText(HWND window, HDC dc, RECT where, COLORREF colour, UINT format);

// Makes `button` owner-drawn from `faces` (normal, hot, pressed, disabled
// cells). With `drawText` the button's text is drawn over the face; icon
// buttons keep their text for readers only. The caller keeps `faces` alive.
void MakeImageButton(HWND button, HIMAGELIST faces, bool drawText);
void SetButtonFaces(HWND button, HIMAGELIST faces);
// Paints an image button for its parent's WM_DRAWITEM; false if `item` is
// not one.
bool DrawImageButton(const DRAWITEMSTRUCT& item);

// A tab control painted as a row of buttons. With `faces` (normal, hot,
// pressed lists, one cell per item) the cells come from the lists; without,
// from the colours, with `icons` (one per item) above the text.
struct TabStripLook {
    std::array<HIMAGELIST, 3> faces{};
    HIMAGELIST icons = nullptr;
    int textIndent = 0; // left margin of the text over a face
};
void MakeTabStrip(HWND tab, const TabStripLook& look);
void SetTabStripLook(HWND tab, const TabStripLook& look);
// Adds items with these texts, in order.
void AddTabItems(HWND tab, const std::vector<std::string>& texts);

// `text` shortened with an ellipsis in the middle to fit the width of
// `control` in its font (the shell's path compaction).
std::string CompactToWidth(HWND control, const std::string& text);

// A tool-tip control for a dialog's controls.
class Tips {
public:
    Tips() = default;
    Tips(const Tips&) = delete;
    Tips& operator=(const Tips&) = delete;
    ~Tips();
    void Create(HWND owner);
    void Set(HWND control, const std::string& text);

private:
    HWND tips_ = nullptr;
    HWND owner_ = nullptr;
};

// A skinned pop-up menu: owner-drawn items that keep their texts.
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
    // below while it is open.
    static UINT Track(HWND owner, const std::vector<Item>& items, int x, int y, UINT flags);
    static bool Measure(MEASUREITEMSTRUCT& item);
    static bool Draw(const DRAWITEMSTRUCT& item);
};

} // namespace qlx::skin
