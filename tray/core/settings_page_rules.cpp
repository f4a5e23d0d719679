#include "tray/core/settings_page_rules.h"

#include "tray/core/settings.h"

namespace qlx::tray {

ToolTipSeconds ReadToolTipSeconds(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturates early: any number past the limit clamps the same way, and
    // a long run of digits never overflows.
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude <= kMaxToolTipSeconds) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    if (negative && magnitude > 0) {
        return {0, "0"};
    }
    if (magnitude > kMaxToolTipSeconds) {
        return {static_cast<uint32_t>(kMaxToolTipSeconds), std::to_string(kMaxToolTipSeconds)};
    }
    return {static_cast<uint32_t>(magnitude), {}};
}

std::vector<std::string> SplitKeyNames(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const size_t end = text.find(';');
        const std::string_view name = text.substr(0, end);
        if (!name.empty()) {
            names.emplace_back(name);
        }
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return names;
}

uint32_t KeyNumberForSelection(int index, bool onSequence) {
    return onSequence && index >= 0 ? static_cast<uint32_t>(index) + 1 : 0;
}

int SelectionForKeyNumber(uint32_t number, size_t itemCount) {
    return number >= 1 && number <= itemCount ? static_cast<int>(number) - 1 : -1;
}

void RestoreSnapshot(CSettings& live, const CSettings& snapshot) {
    const uint32_t total = live.PopupBlockedTotal_Count;
    const uint32_t today = live.PopupBlockedToday_Count;
    std::string day = live.today_time;
    live.CopyFrom(snapshot);
    live.PopupBlockedTotal_Count = total;
    live.PopupBlockedToday_Count = today;
    live.today_time = std::move(day);
}

} // namespace qlx::tray
