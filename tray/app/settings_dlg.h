#pragma once
// `CSettingsDlg`: the settings dialog (dialog 103) with its pages
// `CSettingsGeneral` (104) and `CSettingsAdvanced` (105) behind a tab strip.
// Every change is applied and saved at once; "Cancel" puts back in memory
// what was in force when the dialog opened, "Defaults" the factory values.
#include <windows.h>

#include <memory>

#include "skin/skin_bitmap.h"
#include "skin/skinned_dialog.h"
#include "tray/core/settings.h"

namespace qlx::tray {

// One page: a child dialog whose controls are bound to options.
class CSettingsPage : public skin::SkinnedDialog {
public:
    CSettingsPage(HINSTANCE module, CSettings& settings, int dialog, int skin)
        : module_(module), settings_(settings), dialog_(dialog), skin_(skin) {}
    CSettingsPage(const CSettingsPage&) = delete;
    CSettingsPage& operator=(const CSettingsPage&) = delete;

    // Creates the page inside `parent` at `x`,`y` (pixels), hidden.
    bool Create(HWND parent, int x, int y);
    // Every control from the settings record.
    void Load();

protected:
    virtual void LoadControls() = 0;
    virtual void SetUp() {}
    // Binds the check boxes that only switch an option.
    void LoadCheckBoxes();
    bool OnCheckBox(int control);
    void SetCheck(int control, bool checked);
    bool IsChecked(int control) const;
    void Enable(int control, bool enabled);
    void Changed() { settings_.SaveAndApply(); }

    HINSTANCE module_;
    CSettings& settings_;
    bool loading_ = false;

private:
    BOOL OnInit() override;
    // Changes the controls make while they are loaded are not the user's.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    int dialog_;
    int skin_;
};

class CSettingsGeneral final : public CSettingsPage {
public:
    CSettingsGeneral(HINSTANCE module, CSettings& settings, HIMAGELIST buttonFaces);

private:
    void SetUp() override;
    void LoadControls() override;
    void OnCommand(int control, int code) override;
    void OnSecondsEdited();
    void OnKeyChosen();
    void ChooseSoundFile();
    void EnableDependents();

    HIMAGELIST buttonFaces_;
};

class CSettingsAdvanced final : public CSettingsPage {
public:
    CSettingsAdvanced(HINSTANCE module, CSettings& settings);

private:
    void SetUp() override;
    void LoadControls() override;
    void OnCommand(int control, int code) override;
};

class CSettingsSites;
class SiteListOwner;

class CSettingsDlg final : public skin::SkinnedDialog {
public:
    // `sites`, when given, adds the page of allowed sites.
    CSettingsDlg(HINSTANCE module, CSettings& settings, const CSettings& defaults,
                 SiteListOwner* sites = nullptr);
    ~CSettingsDlg() override;
    CSettingsDlg(const CSettingsDlg&) = delete;
    CSettingsDlg& operator=(const CSettingsDlg&) = delete;

    // Runs the dialog; 1 for "Ok", 2 for "Cancel" or the close button.
    INT_PTR DoModal(HWND owner);

private:
    BOOL OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnNotify(const NMHDR& header, INT_PTR* result) override;
    void ShowPage(int tab);
    void OnDefaults();
    void OnDpiChanged() override;

    HINSTANCE module_;
    CSettings& settings_;
    const CSettings& defaults_;
    CSettings snapshot_;
    skin::ImageListOwner buttonFaces_;
    skin::ImageListOwner closeFaces_;
    CSettingsGeneral general_;
    CSettingsAdvanced advanced_;
    std::unique_ptr<CSettingsSites> sites_;
};

} // namespace qlx::tray
