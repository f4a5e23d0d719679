#include "tray/app/tray_icon.h"

namespace qlx::tray {

void CTrayIcon::Init(HWND window, UINT callbackMessage, HICON icon, const std::string& tip) {
    std::lock_guard guard(lock_);
    data_ = {};
    data_.cbSize = sizeof data_;
    data_.hWnd = window;
    data_.uID = kTrayIconId;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon;
    lstrcpynA(data_.szTip, tip.c_str(), sizeof data_.szTip);
}

void CTrayIcon::Show(bool show) {
    std::lock_guard guard(lock_);
    wanted_ = show;
    if (show && !shown_) {
        shown_ = ::Shell_NotifyIconA(NIM_ADD, &data_) != FALSE;
    } else if (!show && shown_) {
        ::Shell_NotifyIconA(NIM_DELETE, &data_);
        shown_ = false;
    }
}

void CTrayIcon::SetIcon(HICON icon) {
    std::lock_guard guard(lock_);
    data_.hIcon = icon;
    if (shown_) {
        ::Shell_NotifyIconA(NIM_MODIFY, &data_);
    }
}

void CTrayIcon::OnTaskbarCreated() {
    std::lock_guard guard(lock_);
    // The new taskbar holds no icons: whatever was there is gone.
    shown_ = wanted_ && ::Shell_NotifyIconA(NIM_ADD, &data_) != FALSE;
}

bool CTrayIcon::Shown() const {
    std::lock_guard guard(lock_);
    return shown_;
}

} // namespace qlx::tray
