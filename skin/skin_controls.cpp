#include "skin/skin_controls.h"

#include <shlwapi.h>
#include <windowsx.h>

namespace qlx::skin {

namespace {

const char* const kFacesProp = "QlxSkinFaces";
const char* const kHotProp = "QlxSkinHot";
const char* const kTextProp = "QlxSkinText";
const char* const kTabProp = "QlxSkinTab";
constexpr UINT_PTR kButtonSubclass = 0x51584231;
constexpr UINT_PTR kTabSubclass = 0x51585431;
constexpr int kMenuItemHeight = 20;

void TrackLeave(HWND window) {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
    ::TrackMouseEvent(&track);
}

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
    switch (message) {
    case WM_MOUSEMOVE:
        if (!::GetPropA(window, kHotProp)) {
            ::SetPropA(window, kHotProp, reinterpret_cast<HANDLE>(1));
            TrackLeave(window);
            ::InvalidateRect(window, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        ::RemovePropA(window, kHotProp);
        ::InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_ERASEBKGND:
        return TRUE; // the face covers it
    case WM_NCDESTROY:
        ::RemovePropA(window, kFacesProp);
        ::RemovePropA(window, kHotProp);
        ::RemovePropA(window, kTextProp);
        ::RemoveWindowSubclass(window, ButtonProc, kButtonSubclass);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

void DrawCentredText(HDC dc, const std::string& text, RECT rect, COLORREF colour) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

std::string WindowText(HWND window) {
    char text[512] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

struct TabState {
    TabStripLook look;
    int hot = -1;
};

void PaintTabStrip(HWND tab, HDC dc, const TabState& state) {
    RECT client{};
    ::GetClientRect(tab, &client);
    ::FillRect(dc, &client, PaperBrush());
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(tab, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? ::SelectObject(dc, font) : nullptr;
    const int count = TabCtrl_GetItemCount(tab);
    const int selected = TabCtrl_GetCurSel(tab);
    for (int i = 0; i < count; ++i) {
        RECT cell{};
        TabCtrl_GetItemRect(tab, i, &cell);
        char text[128] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        const int look = i == selected ? 2 : (i == state.hot ? 1 : 0);
        if (HIMAGELIST faces = state.look.faces[static_cast<size_t>(look)]) {
            ImageList_Draw(faces, i, dc, cell.left, cell.top, ILD_TRANSPARENT);
            RECT textRect = cell;
            textRect.left += state.look.textIndent;
            DrawCentredText(dc, text, textRect, colour::kInk);
            continue;
        }
        const COLORREF fill =
            look == 2 ? colour::kHighlight : (look == 1 ? RGB(255, 255, 255) : colour::kPaper);
        HBRUSH brush = ::CreateSolidBrush(fill);
        HPEN pen = ::CreatePen(PS_SOLID, 1, look ? colour::kAccent : colour::kHighlight);
        HGDIOBJ oldBrush = ::SelectObject(dc, brush);
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        ::RoundRect(dc, cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1, 8, 8);
        ::SelectObject(dc, oldPen);
        ::SelectObject(dc, oldBrush);
        ::DeleteObject(pen);
        ::DeleteObject(brush);
        RECT textRect = cell;
        if (state.look.icons) {
            const bool stacked = cell.bottom - cell.top >= 34;
            const int x = stacked ? (cell.left + cell.right - 16) / 2 : cell.left + 6;
            const int y = stacked ? cell.top + 3 : (cell.top + cell.bottom - 16) / 2;
            ImageList_Draw(state.look.icons, i, dc, x, y, ILD_TRANSPARENT);
            if (stacked) {
                textRect.top += 19;
            } else {
                textRect.left += 22;
            }
        }
        DrawCentredText(dc, text, textRect, colour::kInk);
    }
    if (oldFont) {
        ::SelectObject(dc, oldFont);
    }
}

LRESULT CALLBACK TabProc(HWND tab, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                         DWORD_PTR data) {
    auto* state = reinterpret_cast<TabState*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(tab, &paint);
        PaintTabStrip(tab, dc, *state);
        ::EndPaint(tab, &paint);
        return 0;
    }
    case WM_MOUSEMOVE: {
        TCHITTESTINFO hit{{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, 0};
        const int hot = TabCtrl_HitTest(tab, &hit);
        if (hot != state->hot) {
            state->hot = hot;
            TrackLeave(tab);
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

HBRUSH PaperBrush() {
    static HBRUSH brush = ::CreateSolidBrush(colour::kPaper); // lives with the process
    return brush;
}

INT_PTR PaperStatic(WPARAM dc) {
    ::SetBkColor(reinterpret_cast<HDC>(dc), colour::kPaper);
    ::SetTextColor(reinterpret_cast<HDC>(dc), colour::kInk);
    return reinterpret_cast<INT_PTR>(PaperBrush());
}

void DrawWindowText(HWND window, HDC dc, RECT where, COLORREF colour, UINT format) {
    const std::string text = WindowText(window);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(window, WM_GETFONT, 0, 0)));
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &where,
                format | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
}

void MakeImageButton(HWND button, HIMAGELIST faces, bool drawText) {
    if (!button) {
        return;
    }
    const LONG_PTR style = ::GetWindowLongPtrA(button, GWL_STYLE);
    ::SetWindowLongPtrA(button, GWL_STYLE, (style & ~LONG_PTR{BS_TYPEMASK}) | BS_OWNERDRAW);
    ::SetPropA(button, kFacesProp, faces);
    ::SetPropA(button, kTextProp, reinterpret_cast<HANDLE>(drawText ? 1 : 0));
    ::SetWindowSubclass(button, ButtonProc, kButtonSubclass, 0);
    ::InvalidateRect(button, nullptr, TRUE);
}

void SetButtonFaces(HWND button, HIMAGELIST faces) {
    ::SetPropA(button, kFacesProp, faces);
    ::InvalidateRect(button, nullptr, FALSE);
}

bool DrawImageButton(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_BUTTON) {
        return false;
    }
    auto faces = static_cast<HIMAGELIST>(::GetPropA(item.hwndItem, kFacesProp));
    if (!faces) {
        return false;
    }
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int cell = disabled                              ? 3
                     : (item.itemState & ODS_SELECTED)     ? 2
                     : ::GetPropA(item.hwndItem, kHotProp) ? 1
                                                           : 0;
    // The corners outside the face show the paper.
    ::FillRect(item.hDC, &item.rcItem, PaperBrush());
    ImageList_Draw(faces, cell, item.hDC, item.rcItem.left, item.rcItem.top, ILD_TRANSPARENT);
    if (::GetPropA(item.hwndItem, kTextProp)) {
        HGDIOBJ old = ::SelectObject(
            item.hDC, reinterpret_cast<HFONT>(::SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
        RECT rect = item.rcItem;
        if (cell == 2) {
            ::OffsetRect(&rect, 1, 1);
        }
        DrawCentredText(item.hDC, WindowText(item.hwndItem), rect,
                        disabled ? colour::kGreyInk : colour::kInk);
        ::SelectObject(item.hDC, old);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(item.hDC, &focus);
    }
    return true;
}

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

std::string CompactToWidth(HWND control, const std::string& text) {
    std::string shown = text;
    if (shown.size() >= MAX_PATH) { // the shell's compaction works on MAX_PATH buffers
        shown = shown.substr(0, 120) + "..." + shown.substr(shown.size() - 120);
    }
    RECT rect{};
    ::GetClientRect(control, &rect);
    HDC dc = ::GetDC(control);
    if (!dc) {
        return shown;
    }
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    char buffer[MAX_PATH] = {};
    shown.copy(buffer, MAX_PATH - 1);
    if (rect.right > 0) {
        ::PathCompactPathA(dc, buffer, static_cast<UINT>(rect.right));
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return buffer;
}

Tips::~Tips() {
    if (tips_ && ::IsWindow(tips_)) {
        ::DestroyWindow(tips_);
    }
}

void Tips::Create(HWND owner) {
    owner_ = owner;
    tips_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                              nullptr, nullptr, nullptr);
}

void Tips::Set(HWND control, const std::string& text) {
    if (!tips_ || !control) {
        return;
    }
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(text.c_str());
    TOOLINFOA probe = tool;
    probe.lpszText = nullptr;
    const bool known = ::SendMessageA(tips_, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&probe));
    ::SendMessageA(tips_, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0,
                   reinterpret_cast<LPARAM>(&tool));
}

UINT SkinMenu::Track(HWND owner, const std::vector<Item>& items, int x, int y, UINT flags) {
    HMENU menu = ::CreatePopupMenu();
    if (!menu) {
        return 0;
    }
    UINT position = 0;
    for (const Item& item : items) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_DATA;
        info.fType = MFT_OWNERDRAW | (item.text.empty() ? MFT_SEPARATOR : 0);
        info.wID = item.command;
        info.fState = item.enabled ? MFS_ENABLED : MFS_GRAYED;
        info.dwItemData = reinterpret_cast<ULONG_PTR>(&item);
        if (!item.text.empty()) {
            info.fMask |= MIIM_STRING; // kept for readers beside the drawing
            info.dwTypeData = const_cast<char*>(item.text.c_str());
        }
        ::InsertMenuItemA(menu, position++, TRUE, &info);
    }
    const UINT command = static_cast<UINT>(
        ::TrackPopupMenu(menu, flags | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner, nullptr));
    ::DestroyMenu(menu);
    return command;
}

bool SkinMenu::Measure(MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU || !measure.itemData) {
        return false;
    }
    const auto* item = reinterpret_cast<const Item*>(measure.itemData);
    measure.itemHeight = item->text.empty() ? 7 : kMenuItemHeight;
    measure.itemWidth = 140;
    return true;
}

bool SkinMenu::Draw(const DRAWITEMSTRUCT& draw) {
    if (draw.CtlType != ODT_MENU || !draw.itemData) {
        return false;
    }
    const auto* item = reinterpret_cast<const Item*>(draw.itemData);
    HDC dc = draw.hDC;
    RECT rect = draw.rcItem;
    ::FillRect(dc, &rect, PaperBrush());
    // The icon column.
    RECT column = rect;
    column.right = column.left + 24;
    HBRUSH band = ::CreateSolidBrush(colour::kHighlight);
    ::FillRect(dc, &column, band);
    ::DeleteObject(band);
    if (item->text.empty()) {
        HPEN pen = ::CreatePen(PS_SOLID, 1, colour::kInk);
        HGDIOBJ old = ::SelectObject(dc, pen);
        const int y = (rect.top + rect.bottom) / 2;
        ::MoveToEx(dc, rect.left + 28, y, nullptr);
        ::LineTo(dc, rect.right - 4, y);
        ::SelectObject(dc, old);
        ::DeleteObject(pen);
        return true;
    }
    const bool grey = (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    if ((draw.itemState & ODS_SELECTED) && !grey) {
        HBRUSH hot = ::CreateSolidBrush(colour::kAccent);
        RECT bar = rect;
        ::InflateRect(&bar, -1, -1);
        ::FillRect(dc, &bar, hot);
        ::DeleteObject(hot);
    }
    if (item->icon) {
        HDC source = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(source, item->icon);
        ::TransparentBlt(dc, rect.left + 4, rect.top + 2, 16, 16, source, 0, 0, 16, 16,
                         RGB(255, 0, 255));
        ::SelectObject(source, old);
        ::DeleteDC(source);
    }
    RECT text = rect;
    text.left += 30;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, grey
                           ? colour::kGreyInk
                           : ((draw.itemState & ODS_SELECTED) ? RGB(255, 255, 255) : colour::kInk));
    ::DrawTextA(dc, item->text.c_str(), static_cast<int>(item->text.size()), &text,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return true;
}

} // namespace qlx::skin
