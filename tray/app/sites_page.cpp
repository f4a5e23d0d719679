#include "tray/app/sites_page.h"

#include <vector>

#include "common/win32/text_conv.h"
#include "skin/message_box.h"
#include "skin/button.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

using skin::Place;
// In pixels, on the page skin of the advanced page: one caption over its rule.
constexpr Place kSitesLayout[] = {
    {IDC_SITES_CAPTION, 12, 6, 300, 16}, {IDC_SITES_LIST, 24, 28, 330, 200},
    {IDC_SITES_REMOVE, 362, 28, 72, 24}, {IDC_SITES_NEW_LABEL, 24, 242, 40, 16},
    {IDC_SITES_EDIT, 66, 239, 288, 22},  {IDC_SITES_ADD, 362, 238, 72, 24},
};

std::wstring Wide(std::string_view utf8) {
    return AnsiToWide(utf8, CP_UTF8);
}

std::string Utf8(std::wstring_view wide) {
    return WideToAnsi(wide, CP_UTF8);
}

} // namespace

CSettingsSites::CSettingsSites(HINSTANCE module, CSettings& settings, SiteListOwner& sites,
                               HIMAGELIST buttonFaces)
    : CSettingsPage(module, settings, IDD_SETTINGS_SITES, IDB_ADVANCED_SKIN), sites_(sites),
      buttonFaces_(buttonFaces) {}

void CSettingsSites::SetUp() {
    LayOut(kSitesLayout);
    const std::pair<int, UINT> texts[] = {{IDC_SITES_CAPTION, IDS_SITES_CAPTION},
                                          {IDC_SITES_NEW_LABEL, IDS_SITES_NEW},
                                          {IDC_SITES_ADD, IDS_SITES_ADD},
                                          {IDC_SITES_REMOVE, IDS_SITES_REMOVE}};
    for (const auto& [control, text] : texts) {
        SetItemText(control, skin::LoadString(module_, text));
    }
    // Screen readers name the list box by the caption before it, the edit
    // box by "Site:".
    for (int button : {IDC_SITES_ADD, IDC_SITES_REMOVE}) {
        skin::MakeImageButton(Item(button), buttonFaces_, true);
    }
}

// The list shows each entry in its own letters; row i stands for shown_[i].
void CSettingsSites::LoadControls() {
    HWND list = Item(IDC_SITES_LIST);
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    shown_ = sites_.Sites().Entries();
    for (const std::string& entry : shown_) {
        const std::wstring shown = Wide(SiteDisplayName(entry));
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    }
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
    EnableButtons();
}

void CSettingsSites::EnableButtons() {
    const LRESULT selected = ::SendDlgItemMessageW(Window(), IDC_SITES_LIST, LB_GETSELCOUNT, 0, 0);
    Enable(IDC_SITES_REMOVE, selected > 0);
    Enable(IDC_SITES_ADD, ::GetWindowTextLengthW(Item(IDC_SITES_EDIT)) > 0);
}

void CSettingsSites::OnCommand(int control, int code) {
    if (control == IDC_SITES_ADD && code == BN_CLICKED) {
        AddTyped();
    } else if (control == IDC_SITES_REMOVE && code == BN_CLICKED) {
        RemoveSelected();
    } else if ((control == IDC_SITES_LIST && code == LBN_SELCHANGE) ||
               (control == IDC_SITES_EDIT && code == EN_CHANGE)) {
        EnableButtons();
    }
}

bool CSettingsSites::OnEnter(HWND focus) {
    if (!Window() || focus != Item(IDC_SITES_EDIT)) {
        return false;
    }
    AddTyped();
    return true;
}

void CSettingsSites::AddTyped() {
    HWND edit = Item(IDC_SITES_EDIT);
    std::wstring typed(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    typed.resize(
        static_cast<size_t>(::GetWindowTextW(edit, typed.data(), static_cast<int>(typed.size()))));
    const SiteEdit added = sites_.AllowSite(Utf8(typed), Window());
    if (added.result == SiteEdit::Result::Refused || added.result == SiteEdit::Result::NotSaved) {
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        return;
    }
    ::SetWindowTextW(edit, L"");
    Load();
    // The entry just added is shown selected, wherever the sorting put it.
    for (size_t i = 0; i < shown_.size(); ++i) {
        if (shown_[i] == added.entry) {
            ::SendDlgItemMessageW(Window(), IDC_SITES_LIST, LB_SETSEL, TRUE,
                                  static_cast<LPARAM>(i));
            ::SendDlgItemMessageW(Window(), IDC_SITES_LIST, LB_SETCARETINDEX, i, FALSE);
        }
    }
    EnableButtons();
}

void CSettingsSites::RemoveSelected() {
    HWND list = Item(IDC_SITES_LIST);
    const auto count = static_cast<int>(::SendMessageW(list, LB_GETSELCOUNT, 0, 0));
    if (count <= 0) {
        return;
    }
    std::vector<int> rows(static_cast<size_t>(count));
    ::SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                   reinterpret_cast<LPARAM>(rows.data()));
    const std::vector<std::string> shown = shown_;
    for (int row : rows) {
        if (row >= 0 && static_cast<size_t>(row) < shown.size()) {
            sites_.RemoveSite(shown[static_cast<size_t>(row)], Window());
        }
    }
    Load();
}

} // namespace qlx::tray
