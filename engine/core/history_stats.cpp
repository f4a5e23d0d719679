#include "engine/core/history_stats.h"

#include <array>
#include <unordered_map>

#include "common/core/text.h"
#include "engine/core/time_text.h"

namespace qlx::engine {

namespace {

enum Period { Today, ThisWeek, ThisMonth, ThisYear, Yesterday, LastWeek, LastMonth, LastYear };
constexpr int kPeriods = 8;

// Local midnight `dayOffset` days from the day of `base`.
std::time_t MidnightOf(const std::tm& base, int dayOffset) {
    std::tm tm{};
    tm.tm_year = base.tm_year;
    tm.tm_mon = base.tm_mon;
    tm.tm_mday = base.tm_mday + dayOffset;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace

std::vector<int32_t> ComputeStatistics(const std::deque<HistoryRecord>& history, std::time_t now,
                                       bool withProcesses) {
    const std::tm n = LocalTime(now);
    const std::time_t midnight = MidnightOf(n, 0);
    const std::time_t tomorrow = MidnightOf(n, 1);
    const std::time_t yesterday = MidnightOf(n, -1);
    const std::time_t weekStart = MidnightOf(n, -n.tm_wday);
    const std::time_t lastWeekStart = MidnightOf(n, -n.tm_wday - 7);

    // [period][kind]: kind 0 processes, 1 sites, 2 addresses
    std::array<std::array<int32_t, 3>, kPeriods> totals{};
    for (const HistoryRecord& r : history) {
        const std::optional<std::time_t> t = ParseTimeText(r.time);
        if (!t) {
            continue;
        }
        const std::array<int32_t, 3> counts = {
            (r.processCount > 0 || r.processCount == kDefaultProcess) ? 1 : 0,
            r.siteCount > 0 ? 1 : 0, r.addressCount > 0 ? 1 : 0};
        if (counts[0] + counts[1] + counts[2] == 0) {
            continue;
        }
        const std::tm rt = LocalTime(*t);
        const bool sameYear = rt.tm_year == n.tm_year;
        const bool sameMonth = sameYear && rt.tm_mon == n.tm_mon;
        std::array<bool, kPeriods> in{};
        in[Today] = sameMonth && rt.tm_mday == n.tm_mday;
        in[ThisWeek] = *t >= weekStart && *t < tomorrow;
        in[ThisMonth] = sameMonth;
        in[ThisYear] = sameYear;
        in[Yesterday] = *t >= yesterday && *t < midnight;
        in[LastWeek] = *t >= lastWeekStart && *t < weekStart;
        in[LastMonth] = (sameYear && rt.tm_mon == n.tm_mon - 1) ||
                        (rt.tm_year == n.tm_year - 1 && rt.tm_mon == 11 && n.tm_mon == 0);
        in[LastYear] = rt.tm_year == n.tm_year - 1;
        for (int p = 0; p < kPeriods; ++p) {
            if (in[static_cast<size_t>(p)]) {
                for (size_t k = 0; k < 3; ++k) {
                    totals[static_cast<size_t>(p)][k] += counts[k];
                }
            }
        }
    }
    std::vector<int32_t> out;
    for (const auto& period : totals) {
        if (withProcesses) {
            out.push_back(period[0]);
        }
        out.push_back(period[1]);
        out.push_back(period[2]);
    }
    return out;
}

std::vector<std::string> TopSitesByCount(const std::deque<HistoryRecord>& history) {
    struct Slot {
        const HistoryRecord* record = nullptr;
    };
    std::array<Slot, 10> slots{};
    for (const HistoryRecord& r : history) {
        if (r.siteCount <= 0) {
            continue;
        }
        size_t j = 0;
        while (j < slots.size() && slots[j].record != nullptr &&
               slots[j].record->siteCount > r.siteCount) {
            ++j;
        }
        if (j == slots.size()) {
            continue;
        }
        for (size_t k = slots.size() - 1; k > j; --k) {
            slots[k] = slots[k - 1];
        }
        slots[j].record = &r;
    }
    std::vector<std::string> out;
    for (const Slot& s : slots) {
        out.push_back(s.record != nullptr ? s.record->site : std::string());
    }
    return out;
}

void TopSitesByRecords(const std::deque<HistoryRecord>& history, std::vector<std::string>& sites,
                       std::vector<int32_t>& counts, const LeadBytes& lead) {
    sites.clear();
    counts.clear();
    struct Tally {
        const std::string* site;
        int32_t count;
        bool taken;
    };
    std::vector<Tally> tallies;
    std::unordered_map<std::string, size_t> byName;
    for (const HistoryRecord& r : history) {
        auto [it, added] = byName.try_emplace(ToLower(r.site, lead), tallies.size());
        if (added) {
            tallies.push_back({&r.site, 0, false});
        }
        ++tallies[it->second].count;
    }
    for (int round = 0; round < 10; ++round) {
        Tally* best = nullptr;
        for (Tally& t : tallies) {
            if (!t.taken && (best == nullptr || t.count > best->count)) {
                best = &t;
            }
        }
        if (best == nullptr) {
            break;
        }
        best->taken = true;
        sites.push_back(*best->site);
        counts.push_back(best->count);
    }
}

std::vector<std::string> UniqueSites(const std::deque<HistoryRecord>& history) {
    std::vector<std::string> out;
    for (const HistoryRecord& r : history) {
        if (r.siteCount > 0) {
            out.push_back(r.site);
        }
    }
    return out;
}

} // namespace qlx::engine
