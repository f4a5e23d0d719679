#include "tray/app/main_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "skin/accessible.h"
#include "skin/message_box.h"
#include "skin/button.h"
#include "skin/compact_text.h"
#include "skin/paint.h"
#include "skin/tab_strip.h"
#include "tray/app/qlx_app.h"
#include "tray/app/reopen.h"
#include "tray/app/screen_area.h"
#include "tray/app/settings_dlg.h"
#include "tray/core/main_window_rules.h"
#include "tray/core/notification_rules.h"
#include "tray/core/text_fill.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

constexpr UINT_PTR kSplashTimer = 1;
constexpr UINT kSplashMs = 3000;

// The controls' places on the skin, in pixels.
constexpr skin::Place kLayout[] = {
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
        UniqueBitmap bitmap(static_cast<HBITMAP>(
            ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        ImageList_AddMasked(list, bitmap.get(), skin::kTransparent);
    }
    return list;
}

HICON LoadSmallIcon(HINSTANCE module, int id) {
    return static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON),
                                           ::GetSystemMetrics(SM_CYSMICON), 0));
}

// The about box (dialog 154): version, Ok and a close button.
class AboutBox final : public skin::SkinnedDialog {
public:
    AboutBox(HINSTANCE module, std::string product, std::string version, HIMAGELIST okFace,
             HIMAGELIST closeFace)
        : module_(module), product_(std::move(product)), version_(std::move(version)),
          okFace_(okFace), closeFace_(closeFace) {}

private:
    static constexpr skin::Place kLayout[] = {
        {IDC_ABOUT_VERSION, 70, 60, 200, 16},
        {IDOK, 182, 124, 88, 24},
        {IDCANCEL, 257, 8, 15, 15},
    };

    BOOL OnInit() override {
        ApplySkin(module_, IDB_ABOUT_SKIN);
        SetCaptionLook({{14, 0, 250, 30}});
        ::SetWindowTextA(Window(), product_.c_str());
        SetItemText(IDC_ABOUT_VERSION, FillPlaceholder("Version: %s", version_));
        SetItemText(IDOK, skin::LoadString(module_, IDS_OK_BUTTON));
        LayOut(kLayout);
        skin::MakeImageButton(Item(IDOK), okFace_, true);
        skin::MakeImageButton(Item(IDCANCEL), closeFace_, false);
        icon_.reset(static_cast<HICON>(
            ::LoadImageA(module_, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 48, 48, 0)));
        Centre();
        return TRUE;
    }
    void PaintBackground(HDC dc) override {
        if (icon_) {
            ::DrawIconEx(dc, 14, 44, icon_.get(), 48, 48, 0, nullptr, DI_NORMAL);
        }
    }
    void OnCommand(int id, int code) override {
        if (code != BN_CLICKED) {
            return; // focus notifications of owner-drawn buttons
        }
        if (id == IDOK || id == IDCANCEL) {
            Close(id);
        }
    }

    HINSTANCE module_;
    std::string product_;
    std::string version_;
    HIMAGELIST okFace_;
    HIMAGELIST closeFace_;
    UniqueIcon icon_;
};

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
    if (Window() && ::IsWindow(Window())) {
        ::DestroyWindow(Window());
    }
    trayIcon_->Show(false);
}

bool CMainDlg::Create() {
    return SkinnedDialog::Create(app_.Instance(), IDD_MAIN, nullptr) != nullptr;
}

bool CMainDlg::PreTranslate(MSG& msg) {
    if (minibar_ && minibar_->Window() && ::IsDialogMessageA(minibar_->Window(), &msg)) {
        return true;
    }
    return Window() && ::IsWindow(Window()) && ::IsDialogMessageA(Window(), &msg);
}

void CMainDlg::OnCommand(int id, int code) {
    if (code == BN_CLICKED || code == 1 /* accelerator */) {
        RunCommand(static_cast<UINT>(id));
    }
}

bool CMainDlg::OnNotify(const NMHDR& header, INT_PTR*) {
    if (header.idFrom == IDC_HISTORY_LIST && header.code == LVN_GETDISPINFOA) {
        FillRow(*reinterpret_cast<NMLVDISPINFOA*>(const_cast<NMHDR*>(&header)));
    } else if (header.idFrom == IDC_HISTORY_LIST &&
               (header.code == LVN_ITEMCHANGED || header.code == LVN_ODSTATECHANGED ||
                header.code == NM_CLICK)) {
        RefreshButtons();
    } else if (header.code == TCN_SELCHANGE) {
        OnStrip(static_cast<int>(header.idFrom));
    }
    return false;
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    *result = TRUE;
    if (message != 0 && message == taskbarCreated_) {
        trayIcon_->OnTaskbarCreated();
        return true;
    }
    switch (message) {
    case WM_TIMER:
        if (wParam != kSplashTimer) {
            return false;
        }
        ::KillTimer(Window(), kSplashTimer);
        splash_.End();
        // A hidden window in front would only take the keyboard from
        // whatever the user works in meanwhile (a settings dialog opened
        // from the keyboard, or another program).
        if (::IsWindowVisible(Window())) {
            ::SetForegroundWindow(Window());
        }
        return true;
    case WM_QLX_TRAY_ICON:
        if (lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN) {
            OnTrayClick();
        }
        return true;
    case WM_QLX_MINIBAR_CLOSED:
        app_.Settings().ShowMiniBar = !app_.Settings().ShowMiniBar;
        RefreshToggleStrip();
        return true;
    case WM_QLX_BLOCKING_CHANGED:
        RefreshToggleStrip();
        return true;
    case WM_QLX_ALLOW_SITE: {
        const std::unique_ptr<std::string> site(reinterpret_cast<std::string*>(lParam));
        if (site) {
            AllowSiteOf(*site);
        }
        return true;
    }
    case WM_CONTEXTMENU:
        return OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
    case WM_CLOSE:
        ::ShowWindow(Window(), SW_HIDE);
        return true;
    case WM_ENDSESSION:
        if (wParam) {
            if (minibar_) {
                minibar_->StorePosition();
            }
            app_.OnEndSession();
        }
        return true;
    case WM_DESTROY:
        ::KillTimer(Window(), kSplashTimer);
        trayIcon_->Show(false);
        return false;
    default:
        return false;
    }
}

BOOL CMainDlg::OnInit() {
    HINSTANCE module = app_.Instance();
    // 1. The skin.
    ApplySkin(module, IDB_MAIN_SKIN);
    app_.modalDialogOpen = false;
    // 2. Icons and caption.
    normalIcon_.reset(LoadSmallIcon(module, kNormalTrayIcon));
    alertIcon_.reset(LoadSmallIcon(module, kAlertTrayIcon));
    SetCaptionLook({{32, 0, 310, 30},
                    RGB(255, 255, 255),
                    DT_LEFT | DT_VCENTER,
                    normalIcon_.get(),
                    {10, 7},
                    16});
    const std::string product = app_.ProductName();
    ::SetWindowTextA(Window(), product.c_str());
    // 3. The tray icon. Without a notification area (no shell, or Wine's
    // null display driver) it cannot be added; the program runs on.
    trayIcon_->Init(Window(), WM_QLX_TRAY_ICON, normalIcon_.get(), product);
    trayIcon_->Show(true);
    // A restarted Explorer announces its new taskbar; the icon goes back in.
    // An elevated program lets the shell's message through.
    taskbarCreated_ = ::RegisterWindowMessageA("TaskbarCreated");
    ::ChangeWindowMessageFilterEx(Window(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
    notifier_ = std::make_unique<CNotifier>(module, app_.Settings(), trayIcon_, normalIcon_.get(),
                                            alertIcon_.get());
    notifier_->SetOwner(Window());

    // 4. Splash for three seconds. A timer ends it, so that the main thread
    // keeps serving the popup service meanwhile.
    splash_.Start(module, IDD_SPLASH, IDB_SPLASH_SKIN, IDC_SPLASH_VERSION, product,
                  FillPlaceholder("Version: %s", app_.Updates().ProgramVersion()), Window());
    ::ShowWindow(Window(), SW_HIDE);
    ::SetTimer(Window(), kSplashTimer, kSplashMs, nullptr);

    // 5. List, buttons, strips, captions and values.
    SetUpControls();
    // 6. Icons of the window.
    bigIcon_.reset(static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXICON),
                                                   ::GetSystemMetrics(SM_CYICON), 0)));
    ::SendMessageA(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(normalIcon_.get()));
    ::SendMessageA(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    // 7. The minibar.
    minibar_ = std::make_unique<CMiniBar>(module, app_.Settings());
    if (!minibar_->Create(Window())) {
        minibar_.reset();
    }
    // 8.
    RefreshStatistics();
    return TRUE;
}

void CMainDlg::SetUpControls() {
    HINSTANCE module = app_.Instance();
    LayOut(kLayout);
    HWND list = ::GetDlgItem(Window(), IDC_HISTORY_LIST);
    // A cell too narrow for its text shows it whole under the mouse.
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    ListView_SetBkColor(list, skin::Paper());
    ListView_SetTextBkColor(list, skin::Paper());
    ListView_SetTextColor(list, skin::Ink());
    char time[] = "Time";
    char popup[] = "Popup";
    char process[] = "Process";
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    WPARAM index = 0;
    for (char* text : {time, popup, process}) {
        column.pszText = text;
        ::SendMessageA(list, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&column));
    }
    SizeColumns();

    buttonFaces_.Reset(skin::LoadImageStrip(module, IDB_BUTTON_FACE, 88, Dpi()));
    closeFaces_.Reset(skin::LoadImageStrip(module, 184, 15, Dpi()));
    const std::pair<int, UINT> buttons[] = {
        {IDC_OPEN, IDS_OPEN}, {IDC_REMOVE, IDS_REMOVE}, {IDC_CLEAR, IDS_CLEAR}};
    for (const auto& [control, text] : buttons) {
        SetItemText(control, skin::LoadString(module, text));
        skin::MakeImageButton(::GetDlgItem(Window(), control), buttonFaces_.list, true);
    }

    SizeStrips();
    HWND toggle = ::GetDlgItem(Window(), IDC_TOGGLE_STRIP);
    skin::AddTabItems(toggle, {"Enable Blocking", "Show Minibar"});
    skin::MakeTabStrip(toggle, {{}, nullptr, 24, true});

    HWND menu = ::GetDlgItem(Window(), IDC_MENU_STRIP);
    std::vector<std::string> menuTexts;
    for (UINT id :
         {IDS_MENU_ABOUT, IDS_MENU_HELP, IDS_MENU_UPDATE, IDS_MENU_SETTINGS, IDS_MENU_LAST_POPUP}) {
        menuTexts.push_back(skin::LoadString(module, id));
    }
    skin::AddTabItems(menu, menuTexts);
    menuIcons_.Reset(IconList(
        module, {kMenuIcons[0], kMenuIcons[1], kMenuIcons[2], kMenuIcons[3], kMenuIcons[4]}));
    skin::MakeTabStrip(menu, {{}, menuIcons_.list, 0, true});

    HWND exit = ::GetDlgItem(Window(), IDC_EXIT_STRIP);
    skin::AddTabItems(exit, {skin::LoadString(module, IDS_MENU_EXIT)});
    exitIcon_.Reset(IconList(module, {208}));
    skin::MakeTabStrip(exit, {{}, exitIcon_.list, 0, true});
    for (int strip : {IDC_TOGGLE_STRIP, IDC_MENU_STRIP, IDC_EXIT_STRIP}) {
        TabCtrl_SetCurSel(::GetDlgItem(Window(), strip), -1);
    }
    // Readers name the strips and the list by these.
    const std::pair<int, const char*> names[] = {{IDC_TOGGLE_STRIP, "Blocking and minibar"},
                                                 {IDC_MENU_STRIP, "Menu"},
                                                 {IDC_EXIT_STRIP, "Exit"},
                                                 {IDC_HISTORY_LIST, "Blocked popups"}};
    for (const auto& [control, name] : names) {
        skin::SetAccessibleName(Item(control), name);
    }

    SetItemText(IDC_LAST_POPUP_CAPTION, skin::LoadString(module, IDS_LAST_POPUP_CAPTION));
    SetItemText(IDC_POPUPED_AT_CAPTION, skin::LoadString(module, IDS_POPUPED_AT_CAPTION));
    SetItemText(IDC_TODAY_CAPTION, skin::LoadString(module, IDS_TODAY_CAPTION));
    SetItemText(IDC_TOTAL_CAPTION, skin::LoadString(module, IDS_TOTAL_CAPTION));
    const std::string none = skin::LoadString(module, IDS_NO_VALUE);
    for (int id : {IDC_LAST_POPUP_VALUE, IDC_POPUPED_AT_VALUE, IDC_TODAY_VALUE, IDC_TOTAL_VALUE}) {
        SetItemText(id, none);
    }
}

void CMainDlg::SizeColumns() {
    // The time column shows a whole time in the list's font, the process
    // column a browser's usual program name; the addresses take the rest of
    // the row.
    HWND list = Item(IDC_HISTORY_LIST);
    const int time = std::max(ListView_GetStringWidth(list, "0000-00-00 00:00:00") + 14, Scale(70));
    const int processWidth = ListView_GetStringWidth(list, "iexplore.exe") + 14;
    RECT client{};
    ::GetClientRect(list, &client);
    const int rest = client.right - time - processWidth - ::GetSystemMetrics(SM_CXVSCROLL);
    ListView_SetColumnWidth(list, 0, time);
    ListView_SetColumnWidth(list, 1, std::max(rest, Scale(60)));
    ListView_SetColumnWidth(list, 2, std::max(processWidth, Scale(60)));
}

void CMainDlg::SizeStrips() {
    TabCtrl_SetItemSize(Item(IDC_TOGGLE_STRIP), Scale(148), Scale(26));
    TabCtrl_SetItemSize(Item(IDC_MENU_STRIP), Scale(59), Scale(40));
    TabCtrl_SetItemSize(Item(IDC_EXIT_STRIP), Scale(92), Scale(24));
}

void CMainDlg::OnDpiChanged() {
    skin::ReloadFaces(Window(), buttonFaces_,
                      skin::LoadImageStrip(app_.Instance(), IDB_BUTTON_FACE, 88, Dpi()));
    skin::ReloadFaces(Window(), closeFaces_, skin::LoadImageStrip(app_.Instance(), 184, 15, Dpi()));
    SizeStrips();
    SizeColumns();
}

void CMainDlg::RefreshValues() {
    const StatisticsValues values = ComputeStatisticsValues(app_.Settings(), app_.GetClock());
    SetItemText(
        IDC_LAST_POPUP_VALUE,
        skin::CompactToWidth(::GetDlgItem(Window(), IDC_LAST_POPUP_VALUE), values.lastPopup));
    SetItemText(IDC_POPUPED_AT_VALUE, values.popupedAt);
    SetItemText(IDC_TODAY_VALUE, values.today);
    SetItemText(IDC_TOTAL_VALUE, values.total);
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
    const std::string& text = info.item.iSubItem == 0   ? entry.time
                              : info.item.iSubItem == 1 ? entry.popupAddress
                                                        : entry.process;
    if (info.item.pszText && info.item.cchTextMax > 0) {
        lstrcpynA(info.item.pszText, text.c_str(), info.item.cchTextMax);
    }
}

std::vector<size_t> CMainDlg::SelectedEntries() {
    HWND list = ::GetDlgItem(Window(), IDC_HISTORY_LIST);
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
    if (!Window()) {
        return;
    }
    RefreshValues();
    if (HWND list = ::GetDlgItem(Window(), IDC_HISTORY_LIST)) {
        // Rows now stand for other entries: nothing stays selected.
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemCountEx(list, app_.Settings().history.size(), 0);
        ::InvalidateRect(list, nullptr, TRUE);
    }
    RefreshToggleStrip();
    RefreshButtons();
}

void CMainDlg::ShowRecordedPopup() {
    if (!Window()) {
        return;
    }
    RefreshValues();
    if (HWND list = ::GetDlgItem(Window(), IDC_HISTORY_LIST)) {
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
    HWND list = ::GetDlgItem(Window(), IDC_HISTORY_LIST);
    const LRESULT rows = list ? ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    const LRESULT selected = list ? ::SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) : 0;
    ::EnableWindow(::GetDlgItem(Window(), IDC_OPEN), selected > 0);
    ::EnableWindow(::GetDlgItem(Window(), IDC_REMOVE), selected > 0);
    ::EnableWindow(::GetDlgItem(Window(), IDC_CLEAR), rows > 0);
}

void CMainDlg::RefreshToggleStrip() {
    const CSettings& settings = app_.Settings();
    const auto bitmaps = ToggleStripBitmaps(settings.BlockPopup, settings.ShowMiniBar);
    skin::TabStripLook look;
    look.textIndent = Scale(24);
    look.itemsAreButtons = true;
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        toggleFaces_[i].Reset(skin::LoadImageStrip(app_.Instance(), bitmaps[i], 148, Dpi()));
        look.faces[i] = toggleFaces_[i].list;
    }
    HWND strip = Item(IDC_TOGGLE_STRIP);
    skin::SetTabStripLook(strip, look);
    // The switches read as pressed or not, not as a picture only.
    skin::SetAccessibleItemPressed(strip, 0, settings.BlockPopup);
    skin::SetAccessibleItemPressed(strip, 1, settings.ShowMiniBar);
}

void CMainDlg::OnStrip(int strip) {
    HWND tab = ::GetDlgItem(Window(), strip);
    const int index = TabCtrl_GetCurSel(tab);
    // A strip acts like buttons: nothing stays selected, so the same item
    // can be used again.
    TabCtrl_SetCurSel(tab, -1);
    ::ShowWindow(Window(), SW_HIDE);
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
            RunCommand(static_cast<UINT>(kMenuStripCommands[static_cast<size_t>(index)]));
        }
        break;
    case IDC_EXIT_STRIP:
        ConfirmExit();
        break;
    default:
        break;
    }
}

void CMainDlg::RunCommand(UINT id) {
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
        ::ShowWindow(Window(), SW_HIDE);
        break;
    case ID_CMD_SETTINGS:
        if (!app_.modalDialogOpen) {
            ModalScope modal(*this);
            CSettingsDlg(app_.Instance(), app_.Settings(), app_.Defaults(), &app_)
                .DoModal(Window());
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
        HWND modal = ::GetLastActivePopup(Window());
        if (modal && modal != Window()) {
            ::SetForegroundWindow(modal);
            ::SetActiveWindow(modal);
        }
        return;
    }
    PlaceLowerRight();
    if (::IsWindowVisible(Window())) {
        ::ShowWindow(Window(), SW_HIDE);
        return;
    }
    for (int strip : {IDC_TOGGLE_STRIP, IDC_MENU_STRIP, IDC_EXIT_STRIP}) {
        TabCtrl_SetCurSel(::GetDlgItem(Window(), strip), -1);
    }
    // Opened by the mouse: focus cues wait until the keyboard is used.
    ::SendMessageA(Window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    ::SetForegroundWindow(Window());
    ::ShowWindow(Window(), SW_SHOW);
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
    if (skin::SkinMessageBox(Window(), skin::LoadString(module, IDS_CONFIRM_DELETE),
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
    AboutBox(app_.Instance(), app_.ProductName(), app_.Updates().ProgramVersion(),
             buttonFaces_.list, closeFaces_.list)
        .RunModal(app_.Instance(), IDD_ABOUT, Window());
}

void CMainDlg::OpenManual() {
    const std::string manual = app_.Settings().Place().programFolder + "manual.chm";
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(Window(), "open", manual.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED));
    if (result <= 32) {
        skin::SkinMessageBox(Window(), skin::LoadString(app_.Instance(), IDS_MANUAL_MISSING),
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
        answer = skin::SkinMessageBox(Window(), skin::LoadString(app_.Instance(), IDS_CONFIRM_EXIT),
                                      app_.ProductName(), MB_YESNO);
    }
    if (answer == IDYES) {
        if (minibar_) {
            minibar_->StorePosition();
        }
        ::PostQuitMessage(0);
        ::DestroyWindow(Window());
    }
}

void CMainDlg::PlaceLowerRight() {
    RECT rect{};
    if (!Window() || !::GetWindowRect(Window(), &rect)) {
        return;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int left = ::GetSystemMetrics(SM_CXSCREEN) - width;
    int top = ::GetSystemMetrics(SM_CYMAXIMIZED) - 12 - height;
    // A taskbar elsewhere (left, top, right, another monitor): beside the
    // tray icon, inside that monitor's work area.
    if (const auto beside = PlaceOffTheUsualTaskbar(Window(), kTrayIconId, width, height)) {
        left = beside->left;
        top = beside->top;
    }
    ::SetWindowPos(Window(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace qlx::tray
