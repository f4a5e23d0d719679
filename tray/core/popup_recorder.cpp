#include "tray/core/popup_recorder.h"

#include "common/core/address.h"
#include "common/core/text.h"
#include "tray/core/allowed_sites.h"
#include "tray/core/local_clock.h"
#include "tray/core/settings.h"

namespace qlx::tray {

bool IsBrowserInternalPage(std::string_view popupAddress) {
    return ContainsNoCase(popupAddress, "navigationcanceled") ||
           ContainsNoCase(popupAddress, "shdoclc.dll");
}

bool RecordBlockedPopup(CSettings& settings, const Clock& clock, PopupNotifier* notifier,
                        StatisticsView* view, std::string_view parentAddress,
                        std::string_view popupAddress, const PopupGeometry& geometry,
                        const AllowedSites* allowed, std::string_view process) {
    if (IsBrowserInternalPage(popupAddress)) {
        return false;
    }
    // An address of spaces only counts as empty.
    std::string site(TrimBlanks(CutToSite(TrimAddress(parentAddress))));
    if (allowed != nullptr && allowed->Allows(site)) {
        return false;
    }
    std::string popup(TrimBlanks(TrimAddress(popupAddress)));

    if (notifier != nullptr && !settings.AllowRequestedPopup) {
        notifier->NotifyBlockedPopupFrom(popup, site);
    }

    CHistoryEntry entry;
    entry.time = FormatTime(clock.Now());
    entry.siteAddress = site.empty() ? popup : site;
    entry.popupAddress = popup.empty() ? site : popup;
    entry.left = geometry.left;
    entry.top = geometry.top;
    entry.width = geometry.width;
    entry.height = geometry.height;
    // The name shares the geometry line of "history.lst": it must not break it.
    entry.process = TrimBlanks(process.substr(0, process.find_first_of("\r\n")));
    settings.history.push_back(std::move(entry));
    ++settings.PopupBlockedToday_Count;
    ++settings.PopupBlockedTotal_Count;

    if (view != nullptr) {
        view->ShowRecordedPopup();
    }
    return true;
}

} // namespace qlx::tray
