// The main window's part in the allowed sites: "Always allow pop-ups from
// <site>" on a history entry, and the tips' "Allow this site".
#include <windowsx.h>

#include <memory>
#include <string>

#include "common/win32/text_conv.h"
#include "skin/message_box.h"
#include "tray/app/main_dlg.h"
#include "tray/app/qlx_app.h"
#include "tray/core/allowed_sites.h"
#include "tray/core/text_fill.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

struct MenuDeleter {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

} // namespace

bool CMainDlg::OnContextMenu(HWND control, LPARAM point) {
    HWND list = ::GetDlgItem(Window(), IDC_HISTORY_LIST);
    if (control != list) {
        return false;
    }
    POINT at{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    const bool fromKeyboard = point == -1;
    if (!fromKeyboard) {
        // A right click on a row that is not selected selects it alone.
        LVHITTESTINFO hit{};
        hit.pt = at;
        ::ScreenToClient(list, &hit.pt);
        const int row = ListView_HitTest(list, &hit);
        if (row >= 0 && !(ListView_GetItemState(list, row, LVIS_SELECTED) & LVIS_SELECTED)) {
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
        }
    }
    const std::vector<size_t> selected = SelectedEntries();
    if (selected.empty()) {
        return true;
    }
    const SiteEntry site = NormaliseSite(app_.Settings().history[selected.front()].siteAddress);
    if (!site.ok()) {
        return true;
    }
    if (fromKeyboard) {
        // Shift+F10 or the menu key: the menu opens at the focused row.
        RECT row{};
        const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
        ListView_GetItemRect(list, focused >= 0 ? focused : 0, &row, LVIR_LABEL);
        at = {row.left, row.bottom};
        ::ClientToScreen(list, &at);
    }
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu) {
        return true;
    }
    const std::wstring text =
        AnsiToWide(FillPlaceholder(skin::LoadString(app_.Instance(), IDS_ALLOW_SITE_MENU),
                                   SiteDisplayName(site.entry)),
                   CP_UTF8);
    ::AppendMenuW(menu.get(),
                  MF_STRING | (app_.Sites().Contains(site.entry) ? MF_CHECKED : MF_UNCHECKED),
                  ID_CMD_ALLOW_SITE, text.c_str());
    const UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(
        menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, Window(), nullptr));
    if (chosen == ID_CMD_ALLOW_SITE) {
        AllowSelectedSite();
    }
    return true;
}

// The site of the first selected entry: allowed, or no longer allowed when
// it already was (the menu shows it checked).
void CMainDlg::AllowSelectedSite() {
    const std::vector<size_t> selected = SelectedEntries();
    if (selected.empty()) {
        return;
    }
    const SiteEntry site = NormaliseSite(app_.Settings().history[selected.front()].siteAddress);
    if (!site.ok()) {
        return;
    }
    if (app_.Sites().Contains(site.entry)) {
        app_.RemoveSite(site.entry, Window());
    } else {
        app_.AllowSite(site.entry, Window());
    }
}

void CMainDlg::AllowSiteOf(const std::string& siteAddress) {
    app_.AllowSite(siteAddress, Window());
}

} // namespace qlx::tray
