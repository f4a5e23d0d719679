#pragma once
// The program's icon in the notification area.
#include <windows.h>

#include <shellapi.h>

#include <mutex>
#include <string>

namespace qlx::tray {

inline constexpr UINT kTrayIconId = 3334;

class CTrayIcon {
public:
    CTrayIcon() = default;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    ~CTrayIcon() { Show(false); }

    // Fills the record: `window` receives `callbackMessage`.
    void Init(HWND window, UINT callbackMessage, HICON icon, const std::string& tip);
    // Adds or removes the icon; without a notification area adding fails and
    // the icon counts as not shown.
    void Show(bool show);
    // Safe from any thread; while the icon is not shown it is only stored.
    void SetIcon(HICON icon);
    // The taskbar was made anew (Explorer restarted, or a shell came up
    // late): an icon that is meant to be shown is added again.
    void OnTaskbarCreated();
    bool Shown() const;

private:
    mutable std::mutex lock_;
    NOTIFYICONDATAA data_{};
    bool shown_ = false;
    bool wanted_ = false; // Show(true) was asked, whether or not it took
};

} // namespace qlx::tray
