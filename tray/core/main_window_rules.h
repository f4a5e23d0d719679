#pragma once
// The main window's rules: the images of its toggle strip, the values it
// shows, which entries a removal deletes, and when "Last popup" can be used.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "tray/core/history.h"

namespace qlx::tray {

class CSettings;
class Clock;

// Bitmaps of the toggle strip's three image lists (normal, hot, pressed).
std::array<int, 3> ToggleStripBitmaps(bool blocking, bool minibarShown);

// The four values beside the captions. The last address is whole here; the
// window shortens it to its field.
struct StatisticsValues {
    std::string lastPopup;
    std::string popupedAt;
    std::string today;
    std::string total;
    bool operator==(const StatisticsValues&) const = default;
};
// Runs the day roll-over of the today counter.
StatisticsValues ComputeStatisticsValues(CSettings& settings, const Clock& clock);

// The history indices that the selected rows stand for, in the order in
// which deleting them never moves one still to be deleted (highest first);
// an index given twice or past the end is dropped.
std::vector<size_t> RemovalOrder(std::vector<size_t> selectedEntries, size_t historySize);
// Deletes those entries; the counters are not touched.
void RemoveEntries(History& history, const std::vector<size_t>& selectedEntries);

// The list shows the history newest first: row 0 is the last entry.
inline size_t EntryOfRow(size_t row, size_t historySize) {
    return historySize - 1 - row;
}

// Whether "Last popup" has something to open: the newest pop-up address,
// trimmed, is not empty.
bool HasLastPopup(const History& history);

// The main window's menu strip, by index, in the minibar menu's order.
inline constexpr std::array<int, 5> kMenuStripCommands = {0x800A, 0xE146, 0x8008, 0x800B, 0x800D};

} // namespace qlx::tray
