#include "skin/menu.h"

#include "common/win32/gdi.h"
#include "skin/paint.h"

namespace qlx::skin {

namespace {
constexpr int kMenuItemHeight = 20;
} // namespace

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
    FillSolid(dc, column, colour::kHighlight);
    if (item->text.empty()) {
        UniquePen pen(::CreatePen(PS_SOLID, 1, colour::kInk));
        SelectedObject penIn(dc, pen.get());
        const int y = (rect.top + rect.bottom) / 2;
        ::MoveToEx(dc, rect.left + 28, y, nullptr);
        ::LineTo(dc, rect.right - 4, y);
        return true;
    }
    const bool grey = (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    if ((draw.itemState & ODS_SELECTED) && !grey) {
        RECT bar = rect;
        ::InflateRect(&bar, -1, -1);
        FillSolid(dc, bar, colour::kAccent);
    }
    if (item->icon) {
        UniqueMemoryDc source(::CreateCompatibleDC(dc));
        SelectedObject icon(source.get(), item->icon);
        ::TransparentBlt(dc, rect.left + 4, rect.top + 2, 16, 16, source.get(), 0, 0, 16, 16,
                         RGB(255, 0, 255));
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
