#include "tray/app/settings_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "skin/message_box.h"
#include "skin/skin_controls.h"
#include "tray/app/sites_page.h"
#include "tray/core/settings_page_rules.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

struct CheckBox {
    int control;
    bool CSettings::*option;
};
// The check boxes of both pages and the options they switch.
constexpr CheckBox kCheckBoxes[] = {
    {IDC_START_WITH_WINDOWS, &CSettings::StartWithStartup},
    {IDC_BLINK_TRAY_ICON, &CSettings::BlinkTrayIcon},
    {IDC_SHOW_TIP, &CSettings::ShowToolTip},
    {IDC_BEEP, &CSettings::BeepViaPCSpeaker},
    {IDC_PLAY_SOUND, &CSettings::PlaySoundFile},
    {IDC_ON_SEQUENCE, &CSettings::AllowPopup_PressButton},
    {IDC_UPDATE_ON_STARTUP, &CSettings::UpdateOnStartup},
    {IDC_ADD_MENU, &CSettings::AddMenu},
    {IDC_FIT_POPUP, &CSettings::FitPopup},
    {IDC_ADD_BORDER, &CSettings::AddBorder},
    {IDC_NORMALIZATION, &CSettings::Normalization},
};

struct Place {
    int control;
    int x, y, width, height;
};
// The dialog's controls on its skin, in pixels.
constexpr Place kDialogLayout[] = {
    {IDC_SETTINGS_TABS, 8, 29, 190, 22},     {IDC_SETTINGS_OK, 248, 372, 72, 24},
    {IDC_SETTINGS_CANCEL, 325, 372, 72, 24}, {IDC_SETTINGS_DEFAULTS, 400, 372, 72, 24},
    {IDC_SETTINGS_CLOSE, 465, 5, 13, 13},
};
constexpr int kPageX = 10;
constexpr int kPageY = 50;
// The pages' controls, in pixels. Each section caption sits over a rule of
// the page's skin 18 pixels below its top.
constexpr Place kGeneralLayout[] = {
    {IDC_STARTUP_CAPTION, 12, 6, 150, 16},     {IDC_START_WITH_WINDOWS, 24, 28, 300, 18},
    {IDC_ON_POPUP_CAPTION, 12, 54, 150, 16},   {IDC_BLINK_TRAY_ICON, 24, 76, 250, 18},
    {IDC_SHOW_TIP, 24, 100, 110, 18},          {IDC_TIP_SECONDS, 136, 99, 60, 20},
    {IDC_SECONDS_LABEL, 204, 101, 80, 16},     {IDC_BEEP, 24, 124, 250, 18},
    {IDC_PLAY_SOUND, 24, 148, 250, 18},        {IDC_SOUND_FILE, 24, 172, 330, 22},
    {IDC_SOUND_FILE_OPEN, 362, 171, 72, 24},   {IDC_ALLOW_POPUP_CAPTION, 12, 202, 150, 16},
    {IDC_ON_SEQUENCE, 24, 226, 110, 18},       {IDC_OVERRIDE_KEY, 136, 224, 80, 120},
    {IDC_CLICK_LABEL, 222, 227, 200, 16},      {IDC_UPDATES_CAPTION, 12, 256, 150, 16},
    {IDC_UPDATE_ON_STARTUP, 24, 280, 250, 18},
};
constexpr Place kAdvancedLayout[] = {
    {IDC_NORMALIZE_CAPTION, 12, 6, 150, 16}, {IDC_ADD_MENU, 24, 28, 330, 18},
    {IDC_FIT_POPUP, 24, 52, 330, 18},        {IDC_ADD_BORDER, 24, 76, 330, 18},
    {IDC_NORMALIZATION, 24, 100, 330, 18},
};

template <size_t N> void LayOut(HWND window, const Place (&layout)[N]) {
    for (const Place& place : layout) {
        ::SetWindowPos(::GetDlgItem(window, place.control), nullptr, place.x, place.y, place.width,
                       place.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

std::string ControlText(HWND window, int control) {
    char text[MAX_PATH] = {};
    ::GetDlgItemTextA(window, control, text, sizeof text);
    return text;
}

} // namespace

// ---------------------------------------------------------------- pages

bool CSettingsPage::Create(HWND parent, int x, int y) {
    window_ = ::CreateDialogParamA(module_, MAKEINTRESOURCEA(dialog_), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (!window_) {
        return false;
    }
    // The page answers to its dialog number among its parent's controls.
    ::SetWindowLongPtrA(window_, GWLP_ID, dialog_);
    ::SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CSettingsPage::Load() {
    loading_ = true;
    LoadControls();
    loading_ = false;
}

INT_PTR CALLBACK CSettingsPage::DialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        auto* page = reinterpret_cast<CSettingsPage*>(lParam);
        page->window_ = window;
        page->surface_.Apply(window, page->module_, page->skin_);
        page->OnInit();
        page->Load();
        return FALSE;
    }
    auto* page = reinterpret_cast<CSettingsPage*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (!page) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        if (!page->loading_) {
            page->OnCommand(LOWORD(wParam), HIWORD(wParam));
        }
        return TRUE;
    case WM_ERASEBKGND:
        page->surface_.Paint(window, reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return skin::PaperStatic(wParam);
    case WM_DRAWITEM:
        return skin::DrawImageButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        page->window_ = nullptr;
        break;
    default:
        break;
    }
    return FALSE;
}

void CSettingsPage::LoadCheckBoxes() {
    for (const CheckBox& box : kCheckBoxes) {
        if (::GetDlgItem(window_, box.control)) {
            SetCheck(box.control, settings_.*box.option);
        }
    }
}

bool CSettingsPage::OnCheckBox(int control) {
    for (const CheckBox& box : kCheckBoxes) {
        if (box.control == control) {
            settings_.*box.option = IsChecked(control);
            return true;
        }
    }
    return false;
}

void CSettingsPage::SetCheck(int control, bool checked) {
    ::CheckDlgButton(window_, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool CSettingsPage::IsChecked(int control) const {
    return ::IsDlgButtonChecked(window_, control) == BST_CHECKED;
}

void CSettingsPage::Enable(int control, bool enabled) {
    ::EnableWindow(::GetDlgItem(window_, control), enabled);
}

CSettingsGeneral::CSettingsGeneral(HINSTANCE module, CSettings& settings, HIMAGELIST buttonFaces)
    : CSettingsPage(module, settings, IDD_SETTINGS_GENERAL, IDB_GENERAL_SKIN),
      buttonFaces_(buttonFaces) {}

void CSettingsGeneral::OnInit() {
    LayOut(window_, kGeneralLayout);
    HWND spin = ::GetDlgItem(window_, IDC_TIP_SECONDS_SPIN);
    ::SendMessageA(spin, UDM_SETBUDDY,
                   reinterpret_cast<WPARAM>(::GetDlgItem(window_, IDC_TIP_SECONDS)), 0);
    ::SendMessageA(spin, UDM_SETRANGE32, 0, kMaxToolTipSeconds);
    HWND keys = ::GetDlgItem(window_, IDC_OVERRIDE_KEY);
    for (const std::string& name : SplitKeyNames(skin::LoadString(module_, IDS_KEY_NAMES))) {
        ::SendMessageA(keys, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    skin::MakeImageButton(::GetDlgItem(window_, IDC_SOUND_FILE_OPEN), buttonFaces_, true);
}

void CSettingsGeneral::LoadControls() {
    LoadCheckBoxes();
    ::SetDlgItemTextA(window_, IDC_TIP_SECONDS, std::to_string(settings_.ShowToolTip_Time).c_str());
    ::SetDlgItemTextA(window_, IDC_SOUND_FILE, settings_.SoundFileName.c_str());
    HWND keys = ::GetDlgItem(window_, IDC_OVERRIDE_KEY);
    const auto items = static_cast<size_t>(::SendMessageA(keys, CB_GETCOUNT, 0, 0));
    ::SendMessageA(keys, CB_SETCURSEL,
                   static_cast<WPARAM>(SelectionForKeyNumber(settings_.AllowButtonNumber, items)),
                   0);
    EnableDependents();
}

void CSettingsGeneral::EnableDependents() {
    const bool tip = IsChecked(IDC_SHOW_TIP);
    Enable(IDC_TIP_SECONDS, tip);
    Enable(IDC_TIP_SECONDS_SPIN, tip);
    const bool sound = IsChecked(IDC_PLAY_SOUND);
    Enable(IDC_SOUND_FILE, sound);
    Enable(IDC_SOUND_FILE_OPEN, sound);
}

void CSettingsGeneral::OnCommand(int control, int code) {
    if (code == BN_CLICKED && OnCheckBox(control)) {
        if (control == IDC_ON_SEQUENCE && settings_.AllowPopup_PressButton) {
            // A key chosen while the override was off stored 0; switching it
            // back on takes the key the list shows, not "no key".
            const auto selected = static_cast<int>(
                ::SendDlgItemMessageA(window_, IDC_OVERRIDE_KEY, CB_GETCURSEL, 0, 0));
            if (selected >= 0) {
                settings_.AllowButtonNumber = KeyNumberForSelection(selected, true);
            }
        }
        EnableDependents();
        Changed();
    } else if (control == IDC_TIP_SECONDS && code == EN_CHANGE) {
        OnSecondsEdited();
    } else if (control == IDC_OVERRIDE_KEY && code == CBN_SELCHANGE) {
        OnKeyChosen();
    } else if (control == IDC_SOUND_FILE_OPEN && code == BN_CLICKED) {
        ChooseSoundFile();
    }
}

void CSettingsGeneral::OnSecondsEdited() {
    const ToolTipSeconds seconds = ReadToolTipSeconds(ControlText(window_, IDC_TIP_SECONDS));
    if (!seconds.rewrite.empty()) {
        loading_ = true;
        ::SetDlgItemTextA(window_, IDC_TIP_SECONDS, seconds.rewrite.c_str());
        loading_ = false;
    }
    settings_.ShowToolTip_Time = seconds.value;
    Changed();
}

void CSettingsGeneral::OnKeyChosen() {
    const auto selected =
        static_cast<int>(::SendDlgItemMessageA(window_, IDC_OVERRIDE_KEY, CB_GETCURSEL, 0, 0));
    settings_.AllowButtonNumber = KeyNumberForSelection(selected, settings_.AllowPopup_PressButton);
    Changed();
}

void CSettingsGeneral::ChooseSoundFile() {
    char path[MAX_PATH] = {};
    lstrcpynA(path, ControlText(window_, IDC_SOUND_FILE).c_str(), sizeof path);
    OPENFILENAMEA open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = window_;
    open.lpstrFilter = "Sound Files (*.wav)\0*.wav\0All Files (*.*)\0*.*\0";
    open.lpstrFile = path;
    open.nMaxFile = sizeof path;
    open.lpstrDefExt = "wav";
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameA(&open)) {
        ::SetDlgItemTextA(window_, IDC_SOUND_FILE, path);
        settings_.SoundFileName = path;
        Changed();
    }
}

CSettingsAdvanced::CSettingsAdvanced(HINSTANCE module, CSettings& settings)
    : CSettingsPage(module, settings, IDD_SETTINGS_ADVANCED, IDB_ADVANCED_SKIN) {}

void CSettingsAdvanced::OnInit() {
    LayOut(window_, kAdvancedLayout);
}

void CSettingsAdvanced::LoadControls() {
    LoadCheckBoxes();
}

void CSettingsAdvanced::OnCommand(int control, int code) {
    if (code == BN_CLICKED && OnCheckBox(control)) {
        Changed();
    }
}

// ---------------------------------------------------------------- dialog

CSettingsDlg::CSettingsDlg(HINSTANCE module, CSettings& settings, const CSettings& defaults,
                           SiteListOwner* sites)
    : module_(module), settings_(settings), defaults_(defaults),
      buttonFaces_(skin::LoadImageStrip(module, IDB_SMALL_BUTTON_FACE, 72)),
      closeFaces_(skin::LoadImageStrip(module, 184, 15)),
      general_(module, settings, buttonFaces_.list), advanced_(module, settings) {
    if (sites) {
        sites_ = std::make_unique<CSettingsSites>(module, settings, *sites, buttonFaces_.list);
    }
}

CSettingsDlg::~CSettingsDlg() = default;

INT_PTR CSettingsDlg::DoModal(HWND owner) {
    snapshot_.CopyFrom(settings_);
    return ::DialogBoxParamA(module_, MAKEINTRESOURCEA(IDD_SETTINGS), owner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CSettingsDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<CSettingsDlg*>(lParam)->window_ = window;
    }
    auto* self = reinterpret_cast<CSettingsDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CSettingsDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDC_SETTINGS_OK:
            // Enter in the box of a new site adds it (a click on Ok would
            // have moved the focus to Ok).
            if (sites_ && sites_->OnEnter(::GetFocus())) {
                break;
            }
            ::EndDialog(window_, IDOK);
            break;
        case IDCANCEL: // Escape
        case IDC_SETTINGS_CANCEL:
            RestoreSnapshot(settings_, snapshot_);
            ::EndDialog(window_, IDCANCEL);
            break;
        case IDC_SETTINGS_CLOSE:
            ::EndDialog(window_, IDCANCEL);
            break;
        case IDC_SETTINGS_DEFAULTS:
            OnDefaults();
            break;
        default:
            break;
        }
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_SETTINGS_TABS && header->code == TCN_SELCHANGE) {
            ShowPage(TabCtrl_GetCurSel(header->hwndFrom));
        }
        break;
    }
    case WM_ERASEBKGND:
        surface_.Paint(window_, reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window_, &paint);
        skin::DrawWindowText(window_, dc, {14, 0, 400, 24}, RGB(255, 255, 255),
                             DT_LEFT | DT_VCENTER);
        ::EndPaint(window_, &paint);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        return skin::PaperStatic(wParam);
    case WM_DRAWITEM:
        return skin::DrawImageButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    default:
        break;
    }
    return FALSE;
}

void CSettingsDlg::OnInitDialog() {
    surface_.Apply(window_, module_, IDB_SETTINGS_SKIN);
    ::SetWindowTextA(window_, "Settings");
    LayOut(window_, kDialogLayout);
    const std::pair<int, UINT> buttons[] = {{IDC_SETTINGS_OK, IDS_OK_BUTTON},
                                            {IDC_SETTINGS_CANCEL, IDS_CANCEL_BUTTON},
                                            {IDC_SETTINGS_DEFAULTS, IDS_DEFAULTS_BUTTON}};
    for (const auto& [control, text] : buttons) {
        ::SetDlgItemTextA(window_, control, skin::LoadString(module_, text).c_str());
        skin::MakeImageButton(::GetDlgItem(window_, control), buttonFaces_.list, true);
    }
    skin::MakeImageButton(::GetDlgItem(window_, IDC_SETTINGS_CLOSE), closeFaces_.list, false);

    HWND tabs = ::GetDlgItem(window_, IDC_SETTINGS_TABS);
    TabCtrl_SetItemSize(tabs, 62, 22);
    skin::AddTabItems(tabs, sites_ ? std::vector<std::string>{"General", "Advnced", "Sites"}
                                   : std::vector<std::string>{"General", "Advnced"});
    skin::MakeTabStrip(tabs, {});
    general_.Create(window_, kPageX, kPageY);
    advanced_.Create(window_, kPageX, kPageY);
    if (sites_) {
        sites_->Create(window_, kPageX, kPageY);
    }
    TabCtrl_SetCurSel(tabs, 0);
    ShowPage(0);

    RECT rect{};
    ::GetWindowRect(window_, &rect);
    ::SetWindowPos(window_, nullptr,
                   (::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
}

void CSettingsDlg::ShowPage(int tab) {
    ::ShowWindow(general_.Window(), tab == 0 ? SW_SHOW : SW_HIDE);
    ::ShowWindow(advanced_.Window(), tab == 1 ? SW_SHOW : SW_HIDE);
    if (sites_) {
        ::ShowWindow(sites_->Window(), tab == 2 ? SW_SHOW : SW_HIDE);
    }
}

void CSettingsDlg::OnDefaults() {
    settings_.ResetToDefaults(defaults_);
    general_.Load();
    advanced_.Load();
    // The Run entry follows at the next change or at exit.
    settings_.Save();
}

} // namespace qlx::tray
