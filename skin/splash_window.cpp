#include "skin/splash_window.h"

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

DWORD WINAPI CSplashDlg::ThreadMain(void* param) {
    auto* self = static_cast<CSplashDlg*>(param);
    MSG msg;
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // makes the queue
    HWND window = ::CreateDialogParamA(self->module_, MAKEINTRESOURCEA(self->dialogId_), nullptr,
                                       DialogProc, reinterpret_cast<LPARAM>(self));
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
    if (window && ::IsWindow(window)) {
        ::DestroyWindow(window);
    }
    self->window_ = nullptr;
    return 0;
}

INT_PTR CALLBACK CSplashDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* self = reinterpret_cast<CSplashDlg*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        ::SetWindowTextA(window, self->caption_.c_str());
        if (HWND label = ::GetDlgItem(window, static_cast<int>(self->labelId_))) {
            ::SetWindowTextA(label, self->labelText_.c_str());
            ::SetWindowPos(label, nullptr, 250, 215, 200, 15, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        ::SetWindowPos(window, nullptr, 0, 0, 480, 260, SWP_NOMOVE | SWP_NOZORDER);
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        ::SetTimer(window, kForegroundTimer, kForegroundPeriodMs, nullptr);
        return FALSE;
    }
    case WM_CTLCOLORSTATIC:
        ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(::GetStockObject(BLACK_BRUSH));
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(::GetStockObject(BLACK_BRUSH));
    case WM_TIMER:
        if (wParam == kForegroundTimer) {
            auto* self = reinterpret_cast<CSplashDlg*>(::GetWindowLongPtrA(window, DWLP_USER));
            // Without a main window yet the timer simply fires again.
            if (self && self->mainWindow_ && ::IsWindow(self->mainWindow_)) {
                ::KillTimer(window, kForegroundTimer);
                ::SetForegroundWindow(self->mainWindow_);
                ::DestroyWindow(window);
            }
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace qlx::skin
