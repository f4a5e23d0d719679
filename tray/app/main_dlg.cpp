#include "tray/app/main_dlg.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "skin/message_box.h"
#include "tray/app/qlx_app.h"
#include "tray/core/text_fill.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

constexpr UINT_PTR kSplashTimer = 1;
constexpr UINT kSplashMs = 3000;

// The address shortened with an ellipsis in the middle to fit `width`
// pixels of the control's font.
std::string CompactToWidth(HWND control, const std::string& address) {
    std::string text = address;
    if (text.size() >= MAX_PATH) { // the shell's compaction works on MAX_PATH buffers
        text = text.substr(0, 120) + "..." + text.substr(text.size() - 120);
    }
    RECT rect{};
    ::GetClientRect(control, &rect);
    HDC dc = ::GetDC(control);
    if (!dc) {
        return text;
    }
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    char buffer[MAX_PATH] = {};
    text.copy(buffer, MAX_PATH - 1);
    if (rect.right > 0) {
        ::PathCompactPathA(dc, buffer, static_cast<UINT>(rect.right));
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return buffer;
}

} // namespace

CMainDlg::~CMainDlg() {
    splash_.End();
    if (window_ && ::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
}

bool CMainDlg::Create() {
    window_ = ::CreateDialogParamA(app_.Instance(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
}

bool CMainDlg::PreTranslate(MSG& msg) {
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
        OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_HISTORY_LIST &&
            (header->code == LVN_ITEMCHANGED || header->code == NM_CLICK)) {
            RefreshButtons();
        }
        break;
    }
    case WM_CLOSE:
        ::ShowWindow(window_, SW_HIDE);
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) {
            app_.OnEndSession();
        }
        return TRUE;
    case WM_DESTROY:
        ::KillTimer(window_, kSplashTimer);
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
    app_.modalDialogOpen = false;
    const std::string product = app_.ProductName();
    ::SetWindowTextA(window_, product.c_str());
    // The tray icon attaches here. Without a notification area (no shell,
    // or Wine's null display driver) it cannot be added; the program runs on.

    // Splash for three seconds. A timer ends it, so that the main thread
    // keeps serving the popup service meanwhile.
    splash_.Start(app_.Instance(), IDD_SPLASH, IDC_SPLASH_VERSION, product,
                  FillPlaceholder("Version: %s", app_.Updates().ProgramVersion()), window_);
    ::ShowWindow(window_, SW_HIDE);
    ::SetTimer(window_, kSplashTimer, kSplashMs, nullptr);

    SetUpList();
    HINSTANCE module = app_.Instance();
    SetText(IDC_OPEN, skin::LoadString(module, IDS_OPEN));
    SetText(IDC_REMOVE, skin::LoadString(module, IDS_REMOVE));
    SetText(IDC_CLEAR, skin::LoadString(module, IDS_CLEAR));
    SetText(IDC_LAST_POPUP_CAPTION, skin::LoadString(module, IDS_LAST_POPUP_CAPTION));
    SetText(IDC_POPUPED_AT_CAPTION, skin::LoadString(module, IDS_POPUPED_AT_CAPTION));
    SetText(IDC_TODAY_CAPTION, skin::LoadString(module, IDS_TODAY_CAPTION));
    SetText(IDC_TOTAL_CAPTION, skin::LoadString(module, IDS_TOTAL_CAPTION));
    const std::string none = skin::LoadString(module, IDS_NO_VALUE);
    for (int id : {IDC_LAST_POPUP_VALUE, IDC_POPUPED_AT_VALUE, IDC_TODAY_VALUE, IDC_TOTAL_VALUE}) {
        SetText(id, none);
    }
    // The minibar is created and placed here.
    RefreshStatistics();
}

void CMainDlg::SetUpList() {
    HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST);
    if (!list) {
        return;
    }
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
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
}

void CMainDlg::SetText(int control, const std::string& text) {
    ::SetDlgItemTextA(window_, control, text.c_str());
}

void CMainDlg::RefreshStatistics() {
    if (!window_) {
        return;
    }
    CSettings& settings = app_.Settings();
    const History& history = settings.history;
    if (history.empty()) {
        SetText(IDC_LAST_POPUP_VALUE, " ");
        SetText(IDC_POPUPED_AT_VALUE, " ");
    } else {
        SetText(IDC_LAST_POPUP_VALUE, CompactToWidth(::GetDlgItem(window_, IDC_LAST_POPUP_VALUE),
                                                     history.back().popupAddress));
        SetText(IDC_POPUPED_AT_VALUE, history.back().time);
    }
    SetText(IDC_TODAY_VALUE, std::to_string(settings.TodayCount(app_.GetClock())));
    SetText(IDC_TOTAL_VALUE, std::to_string(settings.TotalCount()));

    if (HWND list = ::GetDlgItem(window_, IDC_HISTORY_LIST)) {
        ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        ::SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        int row = 0;
        for (size_t i = history.size(); i-- > 0; ++row) {
            LVITEMA item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = row;
            item.pszText = const_cast<char*>(history[i].time.c_str());
            item.lParam = static_cast<LPARAM>(i); // the row remembers its entry
            ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            item.mask = LVIF_TEXT;
            item.iSubItem = 1;
            item.pszText = const_cast<char*>(history[i].popupAddress.c_str());
            ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        }
        ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    }
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

void CMainDlg::OnCommand(UINT id) {
    switch (id) {
    case ID_CMD_EXIT:
        ConfirmExit();
        break;
    default:
        // Open, remove, clear, settings, update, about and help come with
        // the main window's own feature.
        break;
    }
}

void CMainDlg::ConfirmExit() {
    // Also covers a confirmation that is already on screen.
    if (app_.modalDialogOpen) {
        return;
    }
    app_.modalDialogOpen = true;
    // The minibar is disabled while the question is open.
    HINSTANCE module = app_.Instance();
    const int answer = skin::SkinMessageBox(window_, skin::LoadString(module, IDS_CONFIRM_EXIT),
                                            app_.ProductName(), MB_YESNO);
    app_.modalDialogOpen = false;
    if (answer == IDYES) {
        // The minibar's position is stored into the settings here.
        ::PostQuitMessage(0);
        ::DestroyWindow(window_);
    }
    // The minibar is enabled again here.
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
