#include "tray/app/main_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "skin/message_box.h"
#include "skin/skin_controls.h"
#include "tray/app/qlx_app.h"
#include "tray/app/reopen.h"
#include "tray/app/settings_dlg.h"
#include "tray/core/main_window_rules.h"
#include "tray/core/notification_rules.h"
#include "tray/core/text_fill.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

constexpr UINT_PTR kSplashTimer = 1;
constexpr UINT kSplashMs = 3000;

struct Place {
    int control;
    int x, y, width, height;
};
// The controls' places on the skin, in pixels.
constexpr Place kLayout[] = {
    {IDC_TOGGLE_STRIP, 10, 36, 300, 26},
    {IDC_LAST_POPUP_CAPTION, 16, 72, 88, 16},
    {IDC_LAST_POPUP_VALUE, 106, 72, 200, 16},
    {IDC_POPUPED_AT_CAPTION, 16, 90, 88, 16},
    {IDC_POPUPED_AT_VALUE, 106, 90, 200, 16},
    {IDC_TODAY_CAPTION, 16, 108, 88, 16},
    {IDC_TODAY_VALUE, 106, 108, 200, 16},
    {IDC_TOTAL_CAPTION, 16, 126, 88, 16},
    {IDC_TOTAL_VALUE, 106, 126, 200, 16},
    {IDC_HISTORY_LIST, 10, 148, 300, 140},
    {IDC_OPEN, 10, 294, 88, 24},
    {IDC_REMOVE, 116, 294, 88, 24},
    {IDC_CLEAR, 222, 294, 88, 24},
    {IDC_MENU_STRIP, 10, 326, 300, 40},
    {IDC_EXIT_STRIP, 214, 372, 96, 24},
};
constexpr int kMenuIcons[] = {207, 209, 212, 211, 210}; // in the menu strip's order

HIMAGELIST IconList(HINSTANCE module, std::initializer_list<int> bitmaps) {
    HIMAGELIST list =
        ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, static_cast<int>(bitmaps.size()), 0);
    for (int id : bitmaps) {
        HBITMAP bitmap = static_cast<HBITMAP>(
            ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ImageList_AddMasked(list, bitmap, skin::kTransparent);
        if (bitmap) {
            ::DeleteObject(bitmap);
        }
    }
    return list;
}

HICON LoadSmallIcon(HINSTANCE module, int id) {
    return static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON),
                                           ::GetSystemMetrics(SM_CYSMICON), 0));
}

struct AboutBox {
    HINSTANCE module;
    std::string product;
    std::string version;
    HIMAGELIST okFace;
    HIMAGELIST closeFace;
    skin::Surface surface;
};

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<AboutBox*>(::GetWindowLongPtrA(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        box = reinterpret_cast<AboutBox*>(lParam);
        box->surface.Apply(window, box->module, IDB_ABOUT_SKIN);
        ::SetWindowTextA(window, box->product.c_str());
        ::SetDlgItemTextA(window, IDC_ABOUT_VERSION,
                          FillPlaceholder("Version: %s", box->version).c_str());
        ::SetDlgItemTextA(window, IDOK, skin::LoadString(box->module, IDS_OK_BUTTON).c_str());
        ::SetWindowPos(::GetDlgItem(window, IDC_ABOUT_VERSION), nullptr, 70, 60, 200, 16,
                       SWP_NOZORDER);
        ::SetWindowPos(::GetDlgItem(window, IDOK), nullptr, 182, 124, 88, 24, SWP_NOZORDER);
        ::SetWindowPos(::GetDlgItem(window, IDCANCEL), nullptr, 257, 8, 15, 15, SWP_NOZORDER);
        skin::MakeImageButton(::GetDlgItem(window, IDOK), box->okFace, true);
        skin::MakeImageButton(::GetDlgItem(window, IDCANCEL), box->closeFace, false);
        RECT rect{};
        ::GetWindowRect(window, &rect);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        ::SetWindowPos(window, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                       (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER);
        return TRUE;
    }
    case WM_ERASEBKGND:
        if (box) {
            box->surface.Paint(window, reinterpret_cast<HDC>(wParam));
            if (HICON icon = static_cast<HICON>(
                    ::LoadImageA(box->module, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 48, 48, 0))) {
                ::DrawIconEx(reinterpret_cast<HDC>(wParam), 14, 44, icon, 48, 48, 0, nullptr,
                             DI_NORMAL);
                ::DestroyIcon(icon);
            }
        }
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        skin::DrawWindowText(window, dc, {14, 0, 250, 30}, RGB(255, 255, 255),
                             DT_LEFT | DT_VCENTER);
        ::EndPaint(window, &paint);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        return skin::PaperStatic(wParam);
    case WM_DRAWITEM:
        return skin::DrawImageButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(window, LOWORD(wParam));
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

CMainDlg::ModalScope::ModalScope(CMainDlg& owner) : owner_(owner) {
    owner_.app_.modalDialogOpen = true;
    if (owner_.minibar_ && owner_.minibar_->Window()) {
        ::EnableWindow(owner_.minibar_->Window(), FALSE);
    }
}

CMainDlg::ModalScope::~ModalScope() {
    owner_.app_.modalDialogOpen = false;
    if (owner_.minibar_ && owner_.minibar_->Window()) {
        ::EnableWindow(owner_.minibar_->Window(), TRUE);
    }
}

CMainDlg::~CMainDlg() {
    splash_.End();
    minibar_.reset();
    if (window_ && ::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
    trayIcon_->Show(false);
    for (HICON icon : {normalIcon_, alertIcon_}) {
        if (icon) {
            ::DestroyIcon(icon);
        }
    }
}

bool CMainDlg::Create() {
    window_ = ::CreateDialogParamA(app_.Instance(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
}

bool CMainDlg::PreTranslate(MSG& msg) {
    if (minibar_ && minibar_->Window() && ::IsDialogMessageA(minibar_->Window(), &msg)) {
        return true;
    }
    return window_ && ::IsWindow(window_) && ::IsDialogMessageA(window_, &msg);
}

INT_PTR CALLBACK CMainDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CMainDlg*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->window_ = window;
    }
    auto* self = reinterpret_cast<CMainDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_TIMER:
        if (wParam == kSplashTimer) {
            ::KillTimer(window_, kSplashTimer);
            splash_.End();
            ::SetForegroundWindow(window_);
            return TRUE;
        }
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1 /* accelerator */) {
            OnCommand(LOWORD(wParam));
        }
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_HISTORY_LIST && header->code == LVN_GETDISPINFOA) {
            FillRow(*reinterpret_cast<NMLVDISPINFOA*>(lParam));
        } else if (header->idFrom == IDC_HISTORY_LIST &&
                   (header->code == LVN_ITEMCHANGED || header->code == LVN_ODSTATECHANGED ||
                    header->code == NM_CLICK)) {
            RefreshButtons();
        } else if (header->code == TCN_SELCHANGE) {
            OnStrip(static_cast<int>(header->idFrom));
        }
        break;
    }
    case WM_QLX_TRAY_ICON:
        if (lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN) {
            OnTrayClick();
        }
        return TRUE;
    case WM_QLX_MINIBAR_CLOSED:
        app_.Settings().ShowMiniBar = !app_.Settings().ShowMiniBar;
        RefreshToggleStrip();
        return TRUE;
    case WM_QLX_BLOCKING_CHANGED:
        RefreshToggleStrip();
        return TRUE;
    case WM_QLX_ALLOW_SITE: {
        const std::unique_ptr<std::string> site(reinterpret_cast<std::string*>(lParam));
        if (site) {
            AllowSiteOf(*site);
        }
        return TRUE;
    }
    case WM_CONTEXTMENU:
        return OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
    case WM_ERASEBKGND:
        surface_.Paint(window_, reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_PAINT:
        Paint();
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return skin::PaperStatic(wParam);
    case WM_DRAWITEM:
        return skin::DrawImageButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_CLOSE:
        ::ShowWindow(window_, SW_HIDE);
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            if (minibar_) {
                minibar_->StorePosition();
            }
            app_.OnEndSession();
        }
        return TRUE;
    case WM_DESTROY:
        ::KillTimer(window_, kSplashTimer);
        trayIcon_->Show(false);
        break;
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(window_, DWLP_USER, 0);
        window_ = nullptr;
        break;
    default:
        break;
    }
    return FALSE;
}

void CMainDlg::OnInitDialog() {
    HINSTANCE module = app_.Instance();
    // 1. The skin.
    surface_.Apply(window_, module, IDB_MAIN_SKIN);
    app_.modalDialogOpen = false;
    // 2. Icons and caption.
    normalIcon_ = LoadSmallIcon(module, kNormalTrayIcon);
    alertIcon_ = LoadSmallIcon(module, kAlertTrayIcon);
    const std::string product = app_.ProductName();
    ::SetWindowTextA(window_, product.c_str());
    // 3. The tray icon. Without a notification area (no shell, or Wine's
    // null display driver) it cannot be added; the program runs on.
    trayIcon_->Init(window_, WM_QLX_TRAY_ICON, normalIcon_, product);
    trayIcon_->Show(true);
    notifier_ =
        std::make_unique<CNotifier>(module, app_.Settings(), trayIcon_, normalIcon_, alertIcon_);
    notifier_->SetOwner(window_);

    // 4. Splash for three seconds. A timer ends it, so that the main thread
    // keeps serving the popup service meanwhile.
    splash_.Start(module, IDD_SPLASH, IDC_SPLASH_VERSION, product,
                  FillPlaceholder("Version: %s", app_.Updates().ProgramVersion()), window_);
    ::ShowWindow(window_, SW_HIDE);
    ::SetTimer(window_, kSplashTimer, kSplashMs, nullptr);

    // 5. List, buttons, strips, captions and values.
    SetUpControls();
    // 6. Icons of the window.
    ::SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(normalIcon_));
    ::SendMessageA(window_, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(::LoadIconA(module, MAKEINTRESOURCEA(IDI_MAIN))));
    // 7. The minibar.
    minibar_ = std::make_unique<CMiniBar>(module, app_.Settings());
    if (!minibar_->Create(window_)) {
        minibar_.reset();
    }
    // 8.
    RefreshStatistics();
}

void CMainDlg::SetUpControls() {
    HINSTANCE module = app_.Instance();
    for (const Place& place : kLayout) {
        ::SetWindowPos(::GetDlgItem(window_, place.control), nullptr, place.x, place.y, place.width,
                       place.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    ListView_SetBkColor(list, skin::colour::kPaper);
    ListView_SetTextBkColor(list, skin::colour::kPaper);
    ListView_SetTextColor(list, skin::colour::kInk);
    char time[] = "Time";
    char popup[] = "Popup";
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 70;
    column.pszText = time;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = 150;
    column.pszText = popup;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));

    buttonFaces_.Reset(skin::LoadImageStrip(module, IDB_BUTTON_FACE, 88));
    closeFaces_.Reset(skin::LoadImageStrip(module, 184, 15));
    const std::pair<int, UINT> buttons[] = {
        {IDC_OPEN, IDS_OPEN}, {IDC_REMOVE, IDS_REMOVE}, {IDC_CLEAR, IDS_CLEAR}};
    for (const auto& [control, text] : buttons) {
        SetText(control, skin::LoadString(module, text));
        skin::MakeImageButton(::GetDlgItem(window_, control), buttonFaces_.list, true);
    }

    HWND toggle = ::GetDlgItem(window_, IDC_TOGGLE_STRIP);
    TabCtrl_SetItemSize(toggle, 148, 26);
    skin::AddTabItems(toggle, {"Enable Blocking", "Show Minibar"});
    skin::MakeTabStrip(toggle, {{}, nullptr, 24});

    HWND menu = ::GetDlgItem(window_, IDC_MENU_STRIP);
    TabCtrl_SetItemSize(menu, 59, 40);
    std::vector<std::string> menuTexts;
    for (UINT id :
         {IDS_MENU_ABOUT, IDS_MENU_HELP, IDS_MENU_UPDATE, IDS_MENU_SETTINGS, IDS_MENU_LAST_POPUP}) {
        menuTexts.push_back(skin::LoadString(module, id));
    }
    skin::AddTabItems(menu, menuTexts);
    menuIcons_.Reset(IconList(
        module, {kMenuIcons[0], kMenuIcons[1], kMenuIcons[2], kMenuIcons[3], kMenuIcons[4]}));
    skin::MakeTabStrip(menu, {{}, menuIcons_.list, 0});

    HWND exit = ::GetDlgItem(window_, IDC_EXIT_STRIP);
    TabCtrl_SetItemSize(exit, 92, 24);
    skin::AddTabItems(exit, {skin::LoadString(module, IDS_MENU_EXIT)});
    exitIcon_.Reset(IconList(module, {208}));
    skin::MakeTabStrip(exit, {{}, exitIcon_.list, 0});
    for (int strip : {IDC_TOGGLE_STRIP, IDC_MENU_STRIP, IDC_EXIT_STRIP}) {
        TabCtrl_SetCurSel(::GetDlgItem(window_, strip), -1);
    }

    SetText(IDC_LAST_POPUP_CAPTION, skin::LoadString(module, IDS_LAST_POPUP_CAPTION));
    SetText(IDC_POPUPED_AT_CAPTION, skin::LoadString(module, IDS_POPUPED_AT_CAPTION));
    SetText(IDC_TODAY_CAPTION, skin::LoadString(module, IDS_TODAY_CAPTION));
    SetText(IDC_TOTAL_CAPTION, skin::LoadString(module, IDS_TOTAL_CAPTION));
    const std::string none = skin::LoadString(module, IDS_NO_VALUE);
    for (int id : {IDC_LAST_POPUP_VALUE, IDC_POPUPED_AT_VALUE, IDC_TODAY_VALUE, IDC_TOTAL_VALUE}) {
        SetText(id, none);
    }
}

void CMainDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window_, &paint);
    if (normalIcon_) {
        ::DrawIconEx(dc, 10, 7, normalIcon_, 16, 16, 0, nullptr, DI_NORMAL);
    }
    skin::DrawWindowText(window_, dc, {32, 0, 310, 30}, RGB(255, 255, 255), DT_LEFT | DT_VCENTER);
    ::EndPaint(window_, &paint);
}

void CMainDlg::SetText(int control, const std::string& text) {
    ::SetDlgItemTextA(window_, control, text.c_str());
}

void CMainDlg::RefreshValues() {
    const StatisticsValues values = ComputeStatisticsValues(app_.Settings(), app_.GetClock());
    SetText(IDC_LAST_POPUP_VALUE,
            skin::CompactToWidth(::GetDlgItem(window_, IDC_LAST_POPUP_VALUE), values.lastPopup));
    SetText(IDC_POPUPED_AT_VALUE, values.popupedAt);
    SetText(IDC_TODAY_VALUE, values.today);
    SetText(IDC_TOTAL_VALUE, values.total);
}

// The list holds no texts of its own: rows are drawn from the history, so
// that neither a long history nor a rebuild costs a row at a time.
void CMainDlg::FillRow(NMLVDISPINFOA& info) {
    const History& history = app_.Settings().history;
    const auto row = static_cast<size_t>(info.item.iItem);
    if (!(info.item.mask & LVIF_TEXT) || row >= history.size()) {
        return;
    }
    const CHistoryEntry& entry = history[EntryOfRow(row, history.size())];
    const std::string& text = info.item.iSubItem == 0 ? entry.time : entry.popupAddress;
    if (info.item.pszText && info.item.cchTextMax > 0) {
        lstrcpynA(info.item.pszText, text.c_str(), info.item.cchTextMax);
    }
}

std::vector<size_t> CMainDlg::SelectedEntries() {
    HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST);
    const size_t size = app_.Settings().history.size();
    std::vector<size_t> entries;
    for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
         row >= 0 && static_cast<size_t>(row) < size;
         row = ListView_GetNextItem(list, row, LVNI_SELECTED)) {
        entries.push_back(EntryOfRow(static_cast<size_t>(row), size));
    }
    return entries;
}

void CMainDlg::RefreshStatistics() {
    if (!window_) {
        return;
    }
    RefreshValues();
    if (HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST)) {
        // Rows now stand for other entries: nothing stays selected.
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemCountEx(list, app_.Settings().history.size(), 0);
        ::InvalidateRect(list, nullptr, TRUE);
    }
    RefreshToggleStrip();
    RefreshButtons();
}

void CMainDlg::ShowRecordedPopup() {
    if (!window_) {
        return;
    }
    RefreshValues();
    if (HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST)) {
        // The new entry becomes row 0, so every selected row moves down one.
        std::vector<int> selected;
        for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
             row = ListView_GetNextItem(list, row, LVNI_SELECTED)) {
            selected.push_back(row);
        }
        if (!selected.empty()) {
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        }
        ListView_SetItemCountEx(list, app_.Settings().history.size(), LVSICF_NOSCROLL);
        for (int row : selected) {
            ListView_SetItemState(list, row + 1, LVIS_SELECTED, LVIS_SELECTED);
        }
        ::InvalidateRect(list, nullptr, FALSE);
    }
    RefreshToggleStrip();
    RefreshButtons();
}

void CMainDlg::RefreshButtons() {
    HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST);
    const LRESULT rows = list ? ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    const LRESULT selected = list ? ::SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) : 0;
    ::EnableWindow(::GetDlgItem(window_, IDC_OPEN), selected > 0);
    ::EnableWindow(::GetDlgItem(window_, IDC_REMOVE), selected > 0);
    ::EnableWindow(::GetDlgItem(window_, IDC_CLEAR), rows > 0);
}

void CMainDlg::RefreshToggleStrip() {
    const CSettings& settings = app_.Settings();
    const auto bitmaps = ToggleStripBitmaps(settings.BlockPopup, settings.ShowMiniBar);
    skin::TabStripLook look;
    look.textIndent = 24;
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        toggleFaces_[i].Reset(skin::LoadImageStrip(app_.Instance(), bitmaps[i], 148));
        look.faces[i] = toggleFaces_[i].list;
    }
    skin::SetTabStripLook(::GetDlgItem(window_, IDC_TOGGLE_STRIP), look);
}

void CMainDlg::OnStrip(int strip) {
    HWND tab = ::GetDlgItem(window_, strip);
    const int index = TabCtrl_GetCurSel(tab);
    // A strip acts like buttons: nothing stays selected, so the same item
    // can be used again.
    TabCtrl_SetCurSel(tab, -1);
    ::ShowWindow(window_, SW_HIDE);
    CSettings& settings = app_.Settings();
    switch (strip) {
    case IDC_TOGGLE_STRIP:
        if (index == 0) {
            settings.BlockPopup = !settings.BlockPopup;
            if (minibar_) {
                minibar_->UpdateBlockingButton();
            }
        } else if (index == 1) {
            settings.ShowMiniBar = !settings.ShowMiniBar;
            if (minibar_) {
                minibar_->Show(settings.ShowMiniBar);
            }
        }
        RefreshToggleStrip();
        break;
    case IDC_MENU_STRIP:
        if (index >= 0 && static_cast<size_t>(index) < kMenuStripCommands.size()) {
            OnCommand(static_cast<UINT>(kMenuStripCommands[static_cast<size_t>(index)]));
        }
        break;
    case IDC_EXIT_STRIP:
        ConfirmExit();
        break;
    default:
        break;
    }
}

void CMainDlg::OnCommand(UINT id) {
    switch (id) {
    case IDC_OPEN:
        ReopenSelected();
        break;
    case IDC_REMOVE:
    case IDC_CLEAR:
        RemoveSelected(id == IDC_CLEAR);
        break;
    case ID_CMD_OPEN_LAST_POPUP:
        ReopenNewest();
        break;
    case ID_CMD_ALLOW_SITE:
        AllowSelectedSite();
        break;
    case ID_CMD_ABOUT:
        ShowAbout();
        break;
    case ID_CMD_HELP:
        OpenManual();
        break;
    case ID_CMD_EXIT:
        ConfirmExit();
        break;
    case IDCANCEL: // Escape
        ::ShowWindow(window_, SW_HIDE);
        break;
    case ID_CMD_SETTINGS:
        if (!app_.modalDialogOpen) {
            ModalScope modal(*this);
            CSettingsDlg(app_.Instance(), app_.Settings(), app_.Defaults(), &app_).DoModal(window_);
        }
        break;
    case ID_CMD_UPDATE:
        app_.Updates().RequestUpdate(0, false);
        break;
    default:
        break;
    }
}

void CMainDlg::OnTrayClick() {
    if (app_.modalDialogOpen) {
        HWND modal = ::GetLastActivePopup(window_);
        if (modal && modal != window_) {
            ::SetForegroundWindow(modal);
            ::SetActiveWindow(modal);
        }
        return;
    }
    PlaceLowerRight();
    if (::IsWindowVisible(window_)) {
        ::ShowWindow(window_, SW_HIDE);
        return;
    }
    for (int strip : {IDC_TOGGLE_STRIP, IDC_MENU_STRIP, IDC_EXIT_STRIP}) {
        TabCtrl_SetCurSel(::GetDlgItem(window_, strip), -1);
    }
    ::SetForegroundWindow(window_);
    ::ShowWindow(window_, SW_SHOW);
}

void CMainDlg::ReopenSelected() {
    const History& history = app_.Settings().history;
    for (size_t entry : SelectedEntries()) {
        ReopenPopup(history[entry], app_.Settings());
    }
}

void CMainDlg::ReopenNewest() {
    const History& history = app_.Settings().history;
    if (!history.empty()) {
        ReopenPopup(history.back(), app_.Settings());
    }
}

void CMainDlg::RemoveSelected(bool all) {
    HINSTANCE module = app_.Instance();
    if (skin::SkinMessageBox(window_, skin::LoadString(module, IDS_CONFIRM_DELETE),
                             app_.ProductName(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    History& history = app_.Settings().history;
    if (all) {
        history.clear();
    } else {
        RemoveEntries(history, SelectedEntries());
    }
    RefreshStatistics();
}

void CMainDlg::ShowAbout() {
    if (app_.modalDialogOpen) {
        return;
    }
    ModalScope modal(*this);
    AboutBox box{app_.Instance(),   app_.ProductName(), app_.Updates().ProgramVersion(),
                 buttonFaces_.list, closeFaces_.list,   {}};
    ::DialogBoxParamA(app_.Instance(), MAKEINTRESOURCEA(IDD_ABOUT), window_, AboutProc,
                      reinterpret_cast<LPARAM>(&box));
}

void CMainDlg::OpenManual() {
    const std::string manual = app_.Settings().Place().programFolder + "manual.chm";
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(window_, "open", manual.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
    if (result <= 32) {
        skin::SkinMessageBox(window_, skin::LoadString(app_.Instance(), IDS_MANUAL_MISSING),
                             app_.ProductName(), MB_OK | MB_ICONINFORMATION);
    }
}

void CMainDlg::ConfirmExit() {
    // Also covers a confirmation that is already on screen.
    if (app_.modalDialogOpen) {
        return;
    }
    int answer = IDNO;
    {
        ModalScope modal(*this);
        answer = skin::SkinMessageBox(window_, skin::LoadString(app_.Instance(), IDS_CONFIRM_EXIT),
                                      app_.ProductName(), MB_YESNO);
    }
    if (answer == IDYES) {
        if (minibar_) {
            minibar_->StorePosition();
        }
        ::PostQuitMessage(0);
        ::DestroyWindow(window_);
    }
}

void CMainDlg::PlaceLowerRight() {
    RECT rect{};
    if (!window_ || !::GetWindowRect(window_, &rect)) {
        return;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int left = ::GetSystemMetrics(SM_CXSCREEN) - width;
    const int top = ::GetSystemMetrics(SM_CYMAXIMIZED) - 12 - height;
    ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace qlx::tray
