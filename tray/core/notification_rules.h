#pragma once
// What a blocked pop-up sets off, and the timing of the parts that take time.
#include <array>
#include <cstdint>

namespace qlx::tray {

class CSettings;

struct NotificationChoice {
    bool tip = false;
    bool blink = false;
    bool tone = false;
    bool sound = false;
    bool operator==(const NotificationChoice&) const = default;
};
// Each kind behind its option; `AllowRequestedPopup` suppresses all four.
NotificationChoice ChooseNotifications(const CSettings& settings);

inline constexpr int kNormalTrayIcon = 128;
inline constexpr int kAlertTrayIcon = 214;
inline constexpr uint32_t kBlinkStepMs = 500;
// The icons the blink thread sets, one every 500 ms: alert and normal in
// turn for ten steps, then the normal icon once more.
inline constexpr std::array<int, 11> kBlinkSequence = {
    kAlertTrayIcon, kNormalTrayIcon, kAlertTrayIcon, kNormalTrayIcon,
    kAlertTrayIcon, kNormalTrayIcon, kAlertTrayIcon, kNormalTrayIcon,
    kAlertTrayIcon, kNormalTrayIcon, kNormalTrayIcon};

// A page that opens pop-ups in a loop must not get a thread per pop-up
// without end. Tips stack at one place, so beyond a few the newest is not
// even seen; one blink sequence (started again from its first step) and one
// tone at a time carry the same news.
inline constexpr int kMaxTipsAtOnce = 8;

struct TipRect {
    int left, top, width, height;
    bool operator==(const TipRect&) const = default;
};
// The tip near the lower right of the work area.
TipRect PlaceTip(int workAreaRight, int workAreaBottom);
// How long the tip stays, in milliseconds (no overflow for large settings).
uint32_t TipDurationMs(uint32_t seconds);

} // namespace qlx::tray
