#include "skin/message_box.h"

namespace qlx::skin {

namespace {

HINSTANCE g_strings = nullptr;
ButtonCaptionIds g_ids;
thread_local HHOOK t_hook = nullptr;

void Caption(HWND box, int button, UINT id) {
    if (id == 0) {
        return;
    }
    HWND control = ::GetDlgItem(box, button);
    const std::string text = LoadString(g_strings, id);
    if (control && !text.empty()) {
        ::SetWindowTextA(control, text.c_str());
    }
}

// The box's buttons exist once it is activated: caption them then, once.
LRESULT CALLBACK CaptionHook(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = t_hook;
    if (code == HCBT_ACTIVATE && hook) {
        HWND box = reinterpret_cast<HWND>(wParam);
        Caption(box, IDOK, g_ids.ok);
        Caption(box, IDCANCEL, g_ids.cancel);
        Caption(box, IDNO, g_ids.no);
        Caption(box, IDIGNORE, g_ids.ignore);
        Caption(box, IDRETRY, g_ids.retry);
        Caption(box, IDABORT, g_ids.abort);
        Caption(box, IDTRYAGAIN, g_ids.tryAgain);
        Caption(box, IDCONTINUE, g_ids.continueId);
        Caption(box, IDYES, g_ids.yes);
        ::UnhookWindowsHookEx(hook);
        t_hook = nullptr;
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

} // namespace

void SetMessageBoxCaptions(HINSTANCE strings, const ButtonCaptionIds& ids) {
    g_strings = strings;
    g_ids = ids;
}

int SkinMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    if (!t_hook) {
        t_hook = ::SetWindowsHookExA(WH_CBT, CaptionHook, nullptr, ::GetCurrentThreadId());
    }
    const int result = ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
    if (t_hook) {
        ::UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
    return result;
}

std::string LoadString(HINSTANCE module, UINT id) {
    char buffer[4096];
    const int copied = ::LoadStringA(module, id, buffer, sizeof buffer);
    return copied > 0 ? std::string(buffer, static_cast<size_t>(copied)) : std::string();
}

} // namespace qlx::skin
