#pragma once
// `CMainDlg`: the main window (dialog 102). Created hidden at start-up; it
// shows the counters and the history and leads to the exit question. The
// tray icon and the minibar attach here (see OnInitDialog).
#include <windows.h>

#include <string>

#include "skin/splash_window.h"
#include "tray/core/popup_recorder.h"

namespace qlx::tray {

class CQlxApp;

class CMainDlg final : public StatisticsView {
public:
    explicit CMainDlg(CQlxApp& app) : app_(app) {}
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;
    ~CMainDlg() override;

    // Creates the window without a parent; it stays hidden.
    bool Create();
    HWND Window() const { return window_; }
    bool PreTranslate(MSG& msg);

    void RefreshStatistics() override;
    // The exit question; on Yes the message loop is told to quit and the
    // window is destroyed.
    void ConfirmExit();
    // Right edge at the screen's right edge, bottom 12 pixels above the
    // height of a maximised window.
    void PlaceLowerRight();

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(UINT id);
    void SetUpList();
    void RefreshButtons();
    void SetText(int control, const std::string& text);

    CQlxApp& app_;
    HWND window_ = nullptr;
    skin::CSplashDlg splash_;
};

} // namespace qlx::tray
