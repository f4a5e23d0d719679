#pragma once
// `CSplashDlg`: the start-up splash, a dialog running in a user-interface
// thread of its own so that it paints while the main thread goes on.
#include <windows.h>

#include <memory>
#include <string>

namespace qlx::skin {

// The thread message that tells the splash thread to end.
inline constexpr UINT kSplashEndMessage = 2026;

class CSplashDlg {
public:
    CSplashDlg() = default;
    CSplashDlg(const CSplashDlg&) = delete;
    CSplashDlg& operator=(const CSplashDlg&) = delete;
    ~CSplashDlg() { End(); }

    // Shows dialog `dialogId` of `module`, captioned `caption`, with label
    // `labelId` reading `labelText`. While it is up, its own timer brings
    // `mainWindow` (if it exists by then) to the front every 3 s and closes
    // the splash. False if the thread could not start.
    bool Start(HINSTANCE module, UINT dialogId, UINT labelId, std::string caption,
               std::string labelText, HWND mainWindow);
    // Tells the thread to end and waits for it.
    void End();
    HWND Window() const { return window_; }

private:
    class SplashWindow;
    static DWORD WINAPI ThreadMain(void* self);

    HINSTANCE module_ = nullptr;
    UINT dialogId_ = 0;
    UINT labelId_ = 0;
    std::string caption_;
    std::string labelText_;
    HWND mainWindow_ = nullptr;
    HWND window_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
};

} // namespace qlx::skin
