#pragma once
// The settings page of the allowed sites (dialog 108): their list, sorted,
// with Remove; an edit box for a new one with Add. Every change goes to
// "sites.lst" at once through the tray program.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tray/app/settings_dlg.h"
#include "tray/core/allowed_sites.h"

namespace qlx::tray {

// Who keeps the list: the tray program.
class SiteListOwner {
public:
    virtual ~SiteListOwner() = default;
    virtual const AllowedSites& Sites() const = 0;
    virtual SiteEdit AllowSite(std::string_view typed, HWND owner) = 0;
    virtual SiteEdit RemoveSite(const std::string& entry, HWND owner) = 0;
};

class CSettingsSites final : public CSettingsPage {
public:
    CSettingsSites(HINSTANCE module, CSettings& settings, SiteListOwner& sites,
                   HIMAGELIST buttonFaces);

    // Enter in the edit box adds what it holds instead of closing the
    // dialog; true when it was taken.
    bool OnEnter(HWND focus);

private:
    void SetUp() override;
    void LoadControls() override;
    void OnCommand(int control, int code) override;
    void AddTyped();
    void RemoveSelected();
    void EnableButtons();

    SiteListOwner& sites_;
    HIMAGELIST buttonFaces_;
    std::vector<std::string> shown_; // the entries of the list's rows
};

} // namespace qlx::tray
