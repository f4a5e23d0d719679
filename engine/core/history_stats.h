#pragma once
// Statistics and site rankings over the history. Each is one pass over the
// records and rests on the occurrence counters: a value counts once, in the
// period of its newest record.
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "common/core/text.h"
#include "engine/core/history_record.h"

namespace qlx::engine {

// Per period (today, this week, this month, this year, yesterday, last week,
// last month, last year) the triple processes, sites, addresses; without
// processes the pairs sites, addresses. Weeks start on Sunday.
std::vector<int32_t> ComputeStatistics(const std::deque<HistoryRecord>& history, std::time_t now,
                                       bool withProcesses);

// Ten sites of the highest positive site counts, highest first, padded with
// empty strings. On equal counts the site whose newest record is older wins.
std::vector<std::string> TopSitesByCount(const std::deque<HistoryRecord>& history);

// Up to ten sites by the number of their records (every record, "N/A" sites
// too), highest first; on equal tallies the most recently seen site first.
void TopSitesByRecords(const std::deque<HistoryRecord>& history, std::vector<std::string>& sites,
                       std::vector<int32_t>& counts, const LeadBytes& lead = {});

// Sites of the records with a positive site count, newest first.
std::vector<std::string> UniqueSites(const std::deque<HistoryRecord>& history);

} // namespace qlx::engine
