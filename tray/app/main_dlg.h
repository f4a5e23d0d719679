#pragma once
// `CMainDlg`: the main window (dialog 102). Created hidden at start-up and
// toggled by the tray icon; shows the counters and the history, switches
// blocking and the minibar, and leads to settings, update, help, about and
// exit. It owns the tray icon, the minibar and the notification.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "common/win32/gdi.h"
#include "skin/skin_bitmap.h"
#include "skin/skinned_dialog.h"
#include "skin/splash_window.h"
#include "tray/app/minibar.h"
#include "tray/app/notification.h"
#include "tray/app/tray_icon.h"
#include "tray/core/popup_recorder.h"

namespace qlx::tray {

class CQlxApp;

class CMainDlg final : public skin::SkinnedDialog, public StatisticsView {
public:
    explicit CMainDlg(CQlxApp& app) : app_(app) {}
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;
    ~CMainDlg() override;

    // Creates the window without a parent; it stays hidden.
    bool Create();
    using SkinnedDialog::Window;
    bool PreTranslate(MSG& msg);
    PopupNotifier* Notifier() { return notifier_.get(); }

    // Values and the whole list, rebuilt.
    void RefreshStatistics() override;
    // Values and the one new row at the top.
    void ShowRecordedPopup() override;
    // The exit question; on Yes the minibar's place is stored, the message
    // loop is told to quit and the window is destroyed.
    void ConfirmExit();
    // Right edge at the screen's right edge, bottom 12 pixels above the
    // height of a maximised window.
    void PlaceLowerRight();

private:
    // While one of the program's modal dialogs is open: the flag is set and
    // the minibar is disabled.
    class ModalScope {
    public:
        explicit ModalScope(CMainDlg& owner);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        CMainDlg& owner_;
    };

    BOOL OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnNotify(const NMHDR& header, INT_PTR* result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    void SetUpControls();
    // Sizes that follow the window's DPI: set at the start and after a move
    // to a monitor of another scale.
    void SizeColumns();
    void SizeStrips();
    void OnDpiChanged() override;
    void RunCommand(UINT id);
    void OnStrip(int strip);
    void OnTrayClick();
    void RefreshValues();
    void RefreshButtons();
    void RefreshToggleStrip();
    // The history entries of the selected rows, in list order.
    std::vector<size_t> SelectedEntries();
    void FillRow(NMLVDISPINFOA& info);
    // The allowed sites: the history list's context menu (a click or the
    // keyboard's Shift+F10 and menu key), its command for the selected
    // entry, and a tip's request, as the tip's thread posts it.
    bool OnContextMenu(HWND control, LPARAM point);
    void AllowSelectedSite();
    void AllowSiteOf(const std::string& siteAddress);
    void ReopenSelected();
    void ReopenNewest();
    void RemoveSelected(bool all);
    void ShowAbout();
    void OpenManual();

    CQlxApp& app_;
    skin::CSplashDlg splash_;
    UniqueIcon normalIcon_;
    UniqueIcon alertIcon_;
    UniqueIcon bigIcon_;
    UINT taskbarCreated_ = 0;
    std::shared_ptr<CTrayIcon> trayIcon_ = std::make_shared<CTrayIcon>();
    std::unique_ptr<CMiniBar> minibar_;
    std::unique_ptr<CNotifier> notifier_;
    skin::ImageListOwner buttonFaces_;
    skin::ImageListOwner closeFaces_;
    skin::ImageListOwner menuIcons_;
    skin::ImageListOwner exitIcon_;
    std::array<skin::ImageListOwner, 3> toggleFaces_;
};

} // namespace qlx::tray
