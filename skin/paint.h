#pragma once
// The skin's colours and the drawing its widgets share: paper and ink, a
// window's own text, the focus cue.
#include <windows.h>

#include <string>

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
// A window's text ("" when it has none).
std::string WindowText(HWND window);
// Draws the window's own text, in its font, into `where` of `dc`.
void DrawWindowText(HWND window, HDC dc, RECT where, COLORREF colour, UINT format);
// `text` centred in `rect` on one line, in the DC's font.
void DrawCentredText(HDC dc, const std::string& text, RECT rect, COLORREF colour);
void FillSolid(HDC dc, const RECT& rect, COLORREF colour);
// Whether `window` shows focus cues now (hidden until the keyboard is used).
bool ShowsFocusCues(HWND window);

} // namespace qlx::skin
