#pragma once
// `CSettingsDlg`: the settings dialog (dialog 103) with its pages
// `CSettingsGeneral` (104) and `CSettingsAdvanced` (105) behind a tab strip.
// Every change is applied and saved at once; "Cancel" puts back in memory
// what was in force when the dialog opened, "Defaults" the factory values.
#include <windows.h>

#include <memory>

#include "skin/skin_bitmap.h"
#include "tray/core/settings.h"

namespace qlx::tray {

// One page: a child dialog whose controls are bound to options.
class CSettingsPage {
public:
    CSettingsPage(HINSTANCE module, CSettings& settings, int dialog, int skin)
        : module_(module), settings_(settings), dialog_(dialog), skin_(skin) {}
    CSettingsPage(const CSettingsPage&) = delete;
    CSettingsPage& operator=(const CSettingsPage&) = delete;
    virtual ~CSettingsPage() = default;

    // Creates the page inside `parent` at `x`,`y` (pixels), hidden.
    bool Create(HWND parent, int x, int y);
    HWND Window() const { return window_; }
    // Every control from the settings record.
    void Load();

protected:
    virtual void LoadControls() = 0;
    // A control told its parent of a change (WM_COMMAND).
    virtual void OnCommand(int control, int code) = 0;
    virtual void OnInit() {}
    // Binds the check boxes that only switch an option.
    void LoadCheckBoxes();
    bool OnCheckBox(int control);
    void SetCheck(int control, bool checked);
    bool IsChecked(int control) const;
    void Enable(int control, bool enabled);
    void Changed() { settings_.SaveAndApply(); }

    HINSTANCE module_;
    CSettings& settings_;
    HWND window_ = nullptr;
    bool loading_ = false;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    int dialog_;
    int skin_;
    skin::Surface surface_;
};

class CSettingsGeneral final : public CSettingsPage {
public:
    CSettingsGeneral(HINSTANCE module, CSettings& settings, HIMAGELIST buttonFaces);

private:
    void OnInit() override;
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
    void OnInit() override;
    void LoadControls() override;
    void OnCommand(int control, int code) override;
};

class CSettingsSites;
class SiteListOwner;

class CSettingsDlg {
public:
    // `sites`, when given, adds the page of allowed sites.
    CSettingsDlg(HINSTANCE module, CSettings& settings, const CSettings& defaults,
                 SiteListOwner* sites = nullptr);
    ~CSettingsDlg();
    CSettingsDlg(const CSettingsDlg&) = delete;
    CSettingsDlg& operator=(const CSettingsDlg&) = delete;

    // Runs the dialog; 1 for "Ok", 2 for "Cancel" or the close button.
    INT_PTR DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void ShowPage(int tab);
    void OnDefaults();

    HINSTANCE module_;
    CSettings& settings_;
    const CSettings& defaults_;
    CSettings snapshot_;
    HWND window_ = nullptr;
    skin::Surface surface_;
    skin::ImageListOwner buttonFaces_;
    skin::ImageListOwner closeFaces_;
    CSettingsGeneral general_;
    CSettingsAdvanced advanced_;
    std::unique_ptr<CSettingsSites> sites_;
};

} // namespace qlx::tray
