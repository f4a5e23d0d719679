#include "skin/splash_window.h"

#include "skin/skinned_dialog.h"

namespace qlx::skin {

namespace {
constexpr UINT_PTR kForegroundTimer = 1;
constexpr UINT kForegroundPeriodMs = 3000;
} // namespace

bool CSplashDlg::Start(HINSTANCE module, UINT dialogId, UINT labelId, std::string caption,
                       std::string labelText, HWND mainWindow) {
    End();
    module_ = module;
    dialogId_ = dialogId;
    labelId_ = labelId;
    caption_ = std::move(caption);
    labelText_ = std::move(labelText);
    mainWindow_ = mainWindow;
    ready_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready_) {
        return false;
    }
    thread_ = ::CreateThread(nullptr, 0, ThreadMain, this, 0, &threadId_);
    if (!thread_) {
        ::CloseHandle(ready_);
        ready_ = nullptr;
        return false;
    }
    // The thread message queue must exist before End can post to it.
    HANDLE waits[] = {ready_, thread_};
    ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    return true;
}

void CSplashDlg::End() {
    if (thread_) {
        ::PostThreadMessageA(threadId_, kSplashEndMessage, 0, 0);
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        thread_ = nullptr;
        threadId_ = 0;
    }
    if (ready_) {
        ::CloseHandle(ready_);
        ready_ = nullptr;
    }
}

// The splash itself, a window of the splash thread.
class CSplashDlg::SplashWindow final : public SkinnedDialog {
public:
    explicit SplashWindow(const CSplashDlg& owner) : owner_(owner) {}

private:
    BOOL OnInit() override {
        ::SetWindowTextA(Window(), owner_.caption_.c_str());
        if (HWND label = Item(static_cast<int>(owner_.labelId_))) {
            ::SetWindowTextA(label, owner_.labelText_.c_str());
            ::SetWindowPos(label, nullptr, 250, 215, 200, 15, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        ::SetWindowPos(Window(), nullptr, 0, 0, 480, 260, SWP_NOMOVE | SWP_NOZORDER);
        ::ShowWindow(Window(), SW_SHOWNOACTIVATE);
        ::SetTimer(Window(), kForegroundTimer, kForegroundPeriodMs, nullptr);
        return FALSE;
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) override {
        switch (message) {
        case WM_CTLCOLORSTATIC:
            ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            *result = reinterpret_cast<INT_PTR>(::GetStockObject(BLACK_BRUSH));
            return true;
        case WM_CTLCOLORDLG:
            *result = reinterpret_cast<INT_PTR>(::GetStockObject(BLACK_BRUSH));
            return true;
        case WM_TIMER:
            // Without a main window yet the timer simply fires again.
            if (wParam == kForegroundTimer && owner_.mainWindow_ &&
                ::IsWindow(owner_.mainWindow_)) {
                ::KillTimer(Window(), kForegroundTimer);
                ::SetForegroundWindow(owner_.mainWindow_);
                Close(0);
            }
            *result = TRUE;
            return wParam == kForegroundTimer;
        default:
            return false;
        }
    }

    const CSplashDlg& owner_;
};

DWORD WINAPI CSplashDlg::ThreadMain(void* param) {
    auto* self = static_cast<CSplashDlg*>(param);
    MSG msg;
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // makes the queue
    {
        CSplashDlg::SplashWindow splash(*self);
        HWND window = splash.Create(self->module_, static_cast<int>(self->dialogId_), nullptr);
        self->window_ = window;
        ::SetEvent(self->ready_);
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == kSplashEndMessage) {
                break;
            }
            if (!window || !::IsWindow(window) || !::IsDialogMessageA(window, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    } // the window goes with its object
    self->window_ = nullptr;
    return 0;
}

} // namespace qlx::skin
