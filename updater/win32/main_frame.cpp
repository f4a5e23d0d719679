#include "updater/win32/main_frame.h"

#include <objbase.h>

#include <string>

namespace qlx::updater {

namespace {

const char* const kFrameClass = "KTUpdaterMainFrame";
constexpr UINT kNotifyMessage = WM_APP + 1;

// Numbered as the notification interface orders its operations.
enum NotificationKind : int {
    kBegin = 1,
    kEnd,
    kSetText,
    kHideConnecting,
    kShowConnecting,
    kProgress,
    kHideProgress,
    kReserved,
    kOpenAddress,
    kSessionEnded,
    kProgressLines,
    kFinalMessage,
    kPhaseStarts,
    kLanguageStepFinished,
    kSetTitle,
    kShowMessage,
};

struct Notification {
    int kind;
    const std::string* text;
    int first;
    int second;
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<FrameState*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == kNotifyMessage) {
        const auto* n = reinterpret_cast<const Notification*>(lParam);
        if (n->kind == kSessionEnded) {
            ::DestroyWindow(hwnd);
        }
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    if (state && message != 0 && message == state->instanceMessage) {
        // A second start for the same product: its appearance holds from the
        // next notification on.
        state->appearance = static_cast<int>(wParam);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

HWND CreateMainFrame(HINSTANCE instance, const char* title, FrameState* state) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.lpszClassName = kFrameClass;
    if (!::RegisterClassA(&wc)) {
        return nullptr;
    }
    HWND frame =
        ::CreateWindowExA(0, kFrameClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (frame) {
        ::SetWindowLongPtrA(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    }
    return frame;
}

void FrameNotifications::Send(int kind, const std::string* text, int first, int second) {
    Notification n{kind, text, first, second};
    ::SendMessageA(frame_, kNotifyMessage, 0, reinterpret_cast<LPARAM>(&n));
}

void FrameNotifications::Begin(const std::string& caption) {
    comEntered_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    Send(kBegin, &caption);
}

void FrameNotifications::End() {
    Send(kEnd);
    if (comEntered_) {
        ::CoUninitialize();
        comEntered_ = false;
    }
}

void FrameNotifications::SetText(const std::string& text, int number) {
    Send(kSetText, &text, number);
}
void FrameNotifications::HideConnecting() {
    Send(kHideConnecting);
}
void FrameNotifications::ShowConnecting() {
    Send(kShowConnecting);
}
void FrameNotifications::Progress(int overallPercent, int filePercent) {
    Send(kProgress, nullptr, overallPercent, filePercent);
}
void FrameNotifications::HideProgress() {
    Send(kHideProgress);
}
void FrameNotifications::OpenAddress(const std::string& address) {
    Send(kOpenAddress, &address);
}
void FrameNotifications::SessionEnded(int32_t returnCode) {
    Send(kSessionEnded, nullptr, returnCode);
}
void FrameNotifications::SetProgressLines(const std::string& first, const std::string& second,
                                          const std::string& third) {
    const std::string lines = first + "\n" + second + "\n" + third;
    Send(kProgressLines, &lines);
}
void FrameNotifications::FinalMessage(int stringId) {
    Send(kFinalMessage, nullptr, stringId);
}
void FrameNotifications::PhaseStarts(bool downloading) {
    Send(kPhaseStarts, nullptr, downloading ? 1 : 0);
}
void FrameNotifications::LanguageStepFinished() {
    Send(kLanguageStepFinished);
}
void FrameNotifications::SetTitle(const std::string& title) {
    Send(kSetTitle, &title);
}
void FrameNotifications::ShowMessage(const std::string& title, const std::string& message) {
    const std::string text = title + "\n" + message;
    Send(kShowMessage, &text);
}

} // namespace qlx::updater
