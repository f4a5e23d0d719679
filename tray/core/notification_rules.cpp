#include "tray/core/notification_rules.h"

#include <algorithm>

#include "tray/core/settings.h"

namespace qlx::tray {

NotificationChoice ChooseNotifications(const CSettings& settings) {
    if (settings.AllowRequestedPopup) {
        return {};
    }
    return {settings.ShowToolTip, settings.BlinkTrayIcon, settings.BeepViaPCSpeaker,
            settings.PlaySoundFile};
}

TipRect PlaceTip(int workAreaRight, int workAreaBottom) {
    return {workAreaRight - 220, workAreaBottom - 105, 250, 180};
}

uint32_t TipDurationMs(uint32_t seconds) {
    // A timer cannot run longer than USER_TIMER_MAXIMUM (0x7FFFFFFF ms).
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{seconds} * 1000, 0x7FFFFFFF));
}

} // namespace qlx::tray
