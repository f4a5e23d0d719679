#include "skin/tab_strip.h"

#include <windowsx.h>

#include "common/win32/gdi.h"
#include "skin/paint.h"

namespace qlx::skin {

namespace {

const char* const kTabProp = "QlxSkinTab";
constexpr UINT_PTR kTabSubclass = 0x51585431;

struct TabState {
    TabStripLook look;
    int hot = -1;
};

void PaintCell(HDC dc, const TabState& state, int index, int look, RECT cell,
               const std::string& text) {
    if (HIMAGELIST faces = state.look.faces[static_cast<size_t>(look)]) {
        ImageList_Draw(faces, index, dc, cell.left, cell.top, ILD_TRANSPARENT);
        cell.left += state.look.textIndent;
        DrawCentredText(dc, text, cell, colour::kInk);
        return;
    }
    const COLORREF fill =
        look == 2 ? colour::kHighlight : (look == 1 ? RGB(255, 255, 255) : colour::kPaper);
    {
        UniqueBrush brush(::CreateSolidBrush(fill));
        UniquePen pen(::CreatePen(PS_SOLID, 1, look ? colour::kAccent : colour::kHighlight));
        SelectedObject brushIn(dc, brush.get());
        SelectedObject penIn(dc, pen.get());
        ::RoundRect(dc, cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1, 8, 8);
    }
    RECT textRect = cell;
    if (state.look.icons) {
        const bool stacked = cell.bottom - cell.top >= 34;
        const int x = stacked ? (cell.left + cell.right - 16) / 2 : cell.left + 6;
        const int y = stacked ? cell.top + 3 : (cell.top + cell.bottom - 16) / 2;
        ImageList_Draw(state.look.icons, index, dc, x, y, ILD_TRANSPARENT);
        if (stacked) {
            textRect.top += 19;
        } else {
            textRect.left += 22;
        }
    }
    DrawCentredText(dc, text, textRect, colour::kInk);
}

void PaintTabStrip(HWND tab, HDC dc, const TabState& state) {
    RECT client{};
    ::GetClientRect(tab, &client);
    ::FillRect(dc, &client, PaperBrush());
    SelectedObject font(dc, reinterpret_cast<HFONT>(::SendMessageA(tab, WM_GETFONT, 0, 0)));
    const int count = TabCtrl_GetItemCount(tab);
    const int selected = TabCtrl_GetCurSel(tab);
    for (int i = 0; i < count; ++i) {
        RECT cell{};
        TabCtrl_GetItemRect(tab, i, &cell);
        const int look = i == selected ? 2 : (i == state.hot ? 1 : 0);
        PaintCell(dc, state, i, look, cell, TabItemText(tab, i));
    }
}

LRESULT CALLBACK TabProc(HWND tab, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                         DWORD_PTR data) {
    auto* state = reinterpret_cast<TabState*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PaintScope paint(tab);
        PaintTabStrip(tab, paint.get(), *state);
        return 0;
    }
    case WM_MOUSEMOVE: {
        TCHITTESTINFO hit{{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, 0};
        const int hot = TabCtrl_HitTest(tab, &hit);
        if (hot != state->hot) {
            state->hot = hot;
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, tab, 0};
            ::TrackMouseEvent(&track);
            ::InvalidateRect(tab, nullptr, FALSE);
        }
        break;
    }
    case WM_LBUTTONDBLCLK:
        // Items act as buttons: a quick second click is another click.
        return ::DefSubclassProc(tab, WM_LBUTTONDOWN, wParam, lParam);
    case WM_MOUSELEAVE:
        state->hot = -1;
        ::InvalidateRect(tab, nullptr, FALSE);
        break;
    case WM_NCDESTROY:
        ::RemovePropA(tab, kTabProp);
        ::RemoveWindowSubclass(tab, TabProc, kTabSubclass);
        delete state;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(tab, message, wParam, lParam);
}

} // namespace

void MakeTabStrip(HWND tab, const TabStripLook& look) {
    if (!tab) {
        return;
    }
    auto* state = new TabState{look};
    if (!::SetWindowSubclass(tab, TabProc, kTabSubclass, reinterpret_cast<DWORD_PTR>(state))) {
        delete state;
        return;
    }
    ::SetPropA(tab, kTabProp, state);
}

void SetTabStripLook(HWND tab, const TabStripLook& look) {
    if (auto* state = static_cast<TabState*>(::GetPropA(tab, kTabProp))) {
        state->look = look;
        ::InvalidateRect(tab, nullptr, FALSE);
    }
}

void AddTabItems(HWND tab, const std::vector<std::string>& texts) {
    int index = 0;
    for (const std::string& text : texts) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(text.c_str());
        ::SendMessageA(tab, TCM_INSERTITEMA, static_cast<WPARAM>(index++),
                       reinterpret_cast<LPARAM>(&item));
    }
}

std::string TabItemText(HWND tab, int index) {
    char text[128] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

} // namespace qlx::skin
