#include "tray/core/main_window_rules.h"

#include <algorithm>

#include "common/core/address.h"
#include "tray/core/settings.h"

namespace qlx::tray {

std::array<int, 3> ToggleStripBitmaps(bool blocking, bool minibarShown) {
    static constexpr std::array<int, 3> kTable[2][2] = {
        {{144, 145, 144}, {201, 206, 201}},
        {{202, 205, 202}, {203, 204, 203}},
    };
    return kTable[blocking ? 1 : 0][minibarShown ? 1 : 0];
}

StatisticsValues ComputeStatisticsValues(CSettings& settings, const Clock& clock) {
    StatisticsValues values;
    const History& history = settings.history;
    values.lastPopup = history.empty() ? " " : history.back().popupAddress;
    values.popupedAt = history.empty() ? " " : history.back().time;
    values.today = std::to_string(settings.TodayCount(clock));
    values.total = std::to_string(settings.TotalCount());
    return values;
}

std::vector<size_t> RemovalOrder(std::vector<size_t> selectedEntries, size_t historySize) {
    std::erase_if(selectedEntries, [&](size_t index) { return index >= historySize; });
    std::sort(selectedEntries.begin(), selectedEntries.end(), std::greater<>());
    selectedEntries.erase(std::unique(selectedEntries.begin(), selectedEntries.end()),
                          selectedEntries.end());
    return selectedEntries;
}

void RemoveEntries(History& history, const std::vector<size_t>& selectedEntries) {
    // One pass, so that removing many rows of a long history stays linear.
    std::vector<bool> doomed(history.size(), false);
    for (size_t index : RemovalOrder(selectedEntries, history.size())) {
        doomed[index] = true;
    }
    size_t index = 0;
    std::erase_if(history, [&](const CHistoryEntry&) { return doomed[index++]; });
}

bool HasLastPopup(const History& history) {
    return !history.empty() && !TrimAddress(history.back().popupAddress).empty();
}

} // namespace qlx::tray
