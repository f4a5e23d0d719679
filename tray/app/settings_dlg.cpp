#include "tray/app/settings_dlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include "skin/message_box.h"
#include "skin/accessible.h"
#include "skin/button.h"
#include "skin/tab_strip.h"
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

using skin::Place;
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

std::string ControlText(HWND window, int control) {
    char text[MAX_PATH] = {};
    ::GetDlgItemTextA(window, control, text, sizeof text);
    return text;
}

} // namespace

// ---------------------------------------------------------------- pages

bool CSettingsPage::Create(HWND parent, int x, int y) {
    HWND page = SkinnedDialog::Create(module_, dialog_, parent);
    if (!page) {
        return false;
    }
    // The page answers to its dialog number among its parent's controls.
    ::SetWindowLongPtrA(page, GWLP_ID, dialog_);
    ::SetWindowPos(page, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CSettingsPage::Load() {
    loading_ = true;
    LoadControls();
    loading_ = false;
}

BOOL CSettingsPage::OnInit() {
    ApplySkin(module_, skin_);
    SetUp();
    Load();
    return FALSE;
}

bool CSettingsPage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
    *result = TRUE;
    return message == WM_COMMAND && loading_;
}

void CSettingsPage::LoadCheckBoxes() {
    for (const CheckBox& box : kCheckBoxes) {
        if (::GetDlgItem(Window(), box.control)) {
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
    ::CheckDlgButton(Window(), control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool CSettingsPage::IsChecked(int control) const {
    return ::IsDlgButtonChecked(Window(), control) == BST_CHECKED;
}

void CSettingsPage::Enable(int control, bool enabled) {
    ::EnableWindow(::GetDlgItem(Window(), control), enabled);
}

CSettingsGeneral::CSettingsGeneral(HINSTANCE module, CSettings& settings, HIMAGELIST buttonFaces)
    : CSettingsPage(module, settings, IDD_SETTINGS_GENERAL, IDB_GENERAL_SKIN),
      buttonFaces_(buttonFaces) {}

void CSettingsGeneral::SetUp() {
    LayOut(kGeneralLayout);
    HWND spin = ::GetDlgItem(Window(), IDC_TIP_SECONDS_SPIN);
    ::SendMessageA(spin, UDM_SETBUDDY,
                   reinterpret_cast<WPARAM>(::GetDlgItem(Window(), IDC_TIP_SECONDS)), 0);
    ::SendMessageA(spin, UDM_SETRANGE32, 0, kMaxToolTipSeconds);
    HWND keys = ::GetDlgItem(Window(), IDC_OVERRIDE_KEY);
    for (const std::string& name : SplitKeyNames(skin::LoadString(module_, IDS_KEY_NAMES))) {
        ::SendMessageA(keys, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    skin::MakeImageButton(::GetDlgItem(Window(), IDC_SOUND_FILE_OPEN), buttonFaces_, true);
    // These follow a check box rather than a label: readers get their names here.
    const std::pair<int, const char*> names[] = {
        {IDC_TIP_SECONDS, "Seconds to show the tip"},
        {IDC_TIP_SECONDS_SPIN, "Seconds to show the tip"},
        {IDC_SOUND_FILE, "Sound file"},
        {IDC_OVERRIDE_KEY, "Key held with a click in Web browser"},
    };
    for (const auto& [control, name] : names) {
        skin::SetAccessibleName(Item(control), name);
    }
}

void CSettingsGeneral::LoadControls() {
    LoadCheckBoxes();
    ::SetDlgItemTextA(Window(), IDC_TIP_SECONDS,
                      std::to_string(settings_.ShowToolTip_Time).c_str());
    ::SetDlgItemTextA(Window(), IDC_SOUND_FILE, settings_.SoundFileName.c_str());
    HWND keys = ::GetDlgItem(Window(), IDC_OVERRIDE_KEY);
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
                ::SendDlgItemMessageA(Window(), IDC_OVERRIDE_KEY, CB_GETCURSEL, 0, 0));
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
    const ToolTipSeconds seconds = ReadToolTipSeconds(ControlText(Window(), IDC_TIP_SECONDS));
    if (!seconds.rewrite.empty()) {
        loading_ = true;
        ::SetDlgItemTextA(Window(), IDC_TIP_SECONDS, seconds.rewrite.c_str());
        loading_ = false;
    }
    settings_.ShowToolTip_Time = seconds.value;
    Changed();
}

void CSettingsGeneral::OnKeyChosen() {
    const auto selected =
        static_cast<int>(::SendDlgItemMessageA(Window(), IDC_OVERRIDE_KEY, CB_GETCURSEL, 0, 0));
    settings_.AllowButtonNumber = KeyNumberForSelection(selected, settings_.AllowPopup_PressButton);
    Changed();
}

void CSettingsGeneral::ChooseSoundFile() {
    char path[MAX_PATH] = {};
    lstrcpynA(path, ControlText(Window(), IDC_SOUND_FILE).c_str(), sizeof path);
    OPENFILENAMEA open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = Window();
    open.lpstrFilter = "Sound Files (*.wav)\0*.wav\0All Files (*.*)\0*.*\0";
    open.lpstrFile = path;
    open.nMaxFile = sizeof path;
    open.lpstrDefExt = "wav";
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameA(&open)) {
        ::SetDlgItemTextA(Window(), IDC_SOUND_FILE, path);
        settings_.SoundFileName = path;
        Changed();
    }
}

CSettingsAdvanced::CSettingsAdvanced(HINSTANCE module, CSettings& settings)
    : CSettingsPage(module, settings, IDD_SETTINGS_ADVANCED, IDB_ADVANCED_SKIN) {}

void CSettingsAdvanced::SetUp() {
    LayOut(kAdvancedLayout);
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
      buttonFaces_(
          skin::LoadImageStrip(module, IDB_SMALL_BUTTON_FACE, 72, skin::WindowDpi(nullptr))),
      closeFaces_(skin::LoadImageStrip(module, 184, 15, skin::WindowDpi(nullptr))),
      general_(module, settings, buttonFaces_.list), advanced_(module, settings) {
    if (sites) {
        sites_ = std::make_unique<CSettingsSites>(module, settings, *sites, buttonFaces_.list);
    }
}

CSettingsDlg::~CSettingsDlg() = default;

INT_PTR CSettingsDlg::DoModal(HWND owner) {
    snapshot_.CopyFrom(settings_);
    return RunModal(module_, IDD_SETTINGS, owner);
}

void CSettingsDlg::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return; // focus notifications of owner-drawn buttons
    }
    switch (id) {
    case IDOK:
    case IDC_SETTINGS_OK:
        // Enter in the box of a new site adds it (a click on Ok would have
        // moved the focus to Ok).
        if (sites_ && sites_->OnEnter(::GetFocus())) {
            break;
        }
        Close(IDOK);
        break;
    case IDCANCEL: // Escape
    case IDC_SETTINGS_CANCEL:
        RestoreSnapshot(settings_, snapshot_);
        Close(IDCANCEL);
        break;
    case IDC_SETTINGS_CLOSE:
        Close(IDCANCEL);
        break;
    case IDC_SETTINGS_DEFAULTS:
        OnDefaults();
        break;
    default:
        break;
    }
}

bool CSettingsDlg::OnNotify(const NMHDR& header, INT_PTR*) {
    if (header.idFrom == IDC_SETTINGS_TABS && header.code == TCN_SELCHANGE) {
        ShowPage(TabCtrl_GetCurSel(header.hwndFrom));
    }
    return false;
}

BOOL CSettingsDlg::OnInit() {
    ApplySkin(module_, IDB_SETTINGS_SKIN);
    SetCaptionLook({{14, 0, 400, 24}});
    ::SetWindowTextA(Window(), "Settings");
    LayOut(kDialogLayout);
    const std::pair<int, UINT> buttons[] = {{IDC_SETTINGS_OK, IDS_OK_BUTTON},
                                            {IDC_SETTINGS_CANCEL, IDS_CANCEL_BUTTON},
                                            {IDC_SETTINGS_DEFAULTS, IDS_DEFAULTS_BUTTON}};
    for (const auto& [control, text] : buttons) {
        SetItemText(control, skin::LoadString(module_, text));
        skin::MakeImageButton(Item(control), buttonFaces_.list, true);
    }
    skin::MakeImageButton(Item(IDC_SETTINGS_CLOSE), closeFaces_.list, false);

    HWND tabs = Item(IDC_SETTINGS_TABS);
    TabCtrl_SetItemSize(tabs, Scale(62), Scale(22));
    skin::AddTabItems(tabs, sites_ ? std::vector<std::string>{"General", "Advnced", "Sites"}
                                   : std::vector<std::string>{"General", "Advnced"});
    skin::MakeTabStrip(tabs, {});
    skin::SetAccessibleName(tabs, "Pages");
    general_.Create(Window(), Scale(kPageX), Scale(kPageY));
    advanced_.Create(Window(), Scale(kPageX), Scale(kPageY));
    if (sites_) {
        sites_->Create(Window(), Scale(kPageX), Scale(kPageY));
    }
    // The keyboard goes from the tab strip into the page shown, then to the
    // buttons below it.
    for (HWND page : {sites_ ? sites_->Window() : nullptr, advanced_.Window(), general_.Window()}) {
        if (!page) {
            continue;
        }
        ::SetWindowPos(page, tabs, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    TabCtrl_SetCurSel(tabs, 0);
    ShowPage(0);
    Centre();
    return TRUE;
}

void CSettingsDlg::OnDpiChanged() {
    skin::ReloadFaces(Window(), buttonFaces_,
                      skin::LoadImageStrip(module_, IDB_SMALL_BUTTON_FACE, 72, Dpi()));
    skin::ReloadFaces(Window(), closeFaces_, skin::LoadImageStrip(module_, 184, 15, Dpi()));
    TabCtrl_SetItemSize(Item(IDC_SETTINGS_TABS), Scale(62), Scale(22));
    // The pages follow on their own (WM_DPICHANGED_AFTERPARENT); their
    // places on the dialog are the dialog's.
    for (HWND page : {general_.Window(), advanced_.Window(), sites_ ? sites_->Window() : nullptr}) {
        if (page) {
            ::SetWindowPos(page, nullptr, Scale(kPageX), Scale(kPageY), 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
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
