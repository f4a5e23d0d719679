#pragma once
// `RecordBlockedPopup`: what the popup service does with a pop-up it blocks.
#include <cstdint>
#include <string>
#include <string_view>

namespace qlx::tray {

class AllowedSites;
class CSettings;
class Clock;

// The blocked-pop-up notification (tip, blink, tone, sound).
class PopupNotifier {
public:
    virtual ~PopupNotifier() = default;
    virtual void NotifyBlockedPopup(const std::string& popupAddress) = 0;
    // The same, with the opening page's site, which a notifier may offer to
    // allow from then on.
    virtual void NotifyBlockedPopupFrom(const std::string& popupAddress,
                                        const std::string& /*siteAddress*/) {
        NotifyBlockedPopup(popupAddress);
    }
};

// The main window's display of the counters and the history.
class StatisticsView {
public:
    virtual ~StatisticsView() = default;
    virtual void RefreshStatistics() = 0;
    // After one entry was appended: a view may add just that row instead of
    // rebuilding the whole list (the history has no upper bound).
    virtual void ShowRecordedPopup() { RefreshStatistics(); }
};

struct PopupGeometry {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// Whether the address is one of the browser's own pages for a cancelled or
// failed navigation, which are never blocked.
bool IsBrowserInternalPage(std::string_view popupAddress);

// Refuses the browser's internal pages and pop-ups of a page on an allowed
// site (false: the pop-up is let through, and nothing is recorded, counted
// or announced); otherwise trims both addresses, cuts the site address to
// scheme and host, notifies (unless notifications are suppressed), appends
// a history entry, counts it in both counters and refreshes the view.
// Returns whether it was recorded. `notifier`, `view` and `allowed` may be
// null while those parts are absent. `process` is the reporting browser's
// program file name (trimmed; line breaks in it are cut off).
bool RecordBlockedPopup(CSettings& settings, const Clock& clock, PopupNotifier* notifier,
                        StatisticsView* view, std::string_view parentAddress,
                        std::string_view popupAddress, const PopupGeometry& geometry,
                        const AllowedSites* allowed = nullptr, std::string_view process = {});

} // namespace qlx::tray
