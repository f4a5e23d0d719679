#pragma once
// The blocked-pop-up notification: the tip window near the tray, the
// blinking tray icon, the tone and the sound file. The three that take time
// run in threads of their own; each thread gets its own copy of what it
// shows, so nothing it reads changes under it.
#include <windows.h>

#include <memory>
#include <string>

#include "common/win32/unique_handle.h"
#include "tray/app/tray_icon.h"
#include "tray/core/popup_recorder.h"

namespace qlx::tray {

class CSettings;

class CNotifier final : public PopupNotifier {
public:
    CNotifier(HINSTANCE module, const CSettings& settings, std::shared_ptr<CTrayIcon> icon,
              HICON normal, HICON alert)
        : module_(module), settings_(settings), icon_(std::move(icon)), normal_(normal),
          alert_(alert) {}

    void NotifyBlockedPopup(const std::string& popupAddress) override;
    void NotifyBlockedPopupFrom(const std::string& popupAddress,
                                const std::string& siteAddress) override;
    // The window told of a tip's "Allow this site" (WM_QLX_ALLOW_SITE).
    void SetOwner(HWND owner) { owner_ = owner; }

private:
    HINSTANCE module_;
    const CSettings& settings_;
    std::shared_ptr<CTrayIcon> icon_;
    HICON normal_;
    HICON alert_;
    HWND owner_ = nullptr;
    // The newest thread of each kind; a newer one replaces the handle
    // without waiting for the older thread.
    UniqueHandle tipThread_, blinkThread_, toneThread_;
};

// `CPopupBlocked`: the tip (dialog 107), a modal dialog of its own thread.
// Runs it on the calling thread; returns when it closed.
// With `owner` and a `siteAddress` that names a site, the tip offers
// "Allow this site"; a click posts WM_QLX_ALLOW_SITE to `owner`.
void RunPopupBlockedTip(HINSTANCE module, const std::string& address, uint32_t seconds,
                        HWND owner = nullptr, const std::string& siteAddress = {});
// The same tip showing a message (the updater's outcome) for `durationMs`.
void RunMessageTip(HINSTANCE module, const std::string& text, uint32_t durationMs);

} // namespace qlx::tray
