#include "skin/paint.h"

#include "common/win32/gdi.h"

namespace qlx::skin {

HBRUSH PaperBrush() {
    static HBRUSH brush = ::CreateSolidBrush(colour::kPaper); // lives with the process
    return brush;
}

INT_PTR PaperStatic(WPARAM dc) {
    ::SetBkColor(reinterpret_cast<HDC>(dc), colour::kPaper);
    ::SetTextColor(reinterpret_cast<HDC>(dc), colour::kInk);
    return reinterpret_cast<INT_PTR>(PaperBrush());
}

std::string WindowText(HWND window) {
    char text[512] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

void DrawWindowText(HWND window, HDC dc, RECT where, COLORREF colour, UINT format) {
    const std::string text = WindowText(window);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    SelectedObject font(dc, reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)));
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &where,
                format | DT_SINGLELINE | DT_NOPREFIX);
}

void DrawCentredText(HDC dc, const std::string& text, RECT rect, COLORREF colour) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    UniqueBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush.get());
}

bool ShowsFocusCues(HWND window) {
    return (::SendMessageA(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

} // namespace qlx::skin
