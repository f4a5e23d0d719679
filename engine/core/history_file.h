#pragma once
// The "\history.log" byte format: one record per line, newest first, twelve
// tab-separated fields, CR LF line ends:
//   time, site count, address count, process count, Left, Top, Width, Height,
//   title, site, pop-up address, process
#include <deque>
#include <string>
#include <string_view>

#include "engine/core/history_record.h"

namespace qlx::engine {

// Missing or empty text fields read as "N/A", missing numbers as 0; the last
// field takes the rest of the line. Text after the last CR LF is ignored.
std::deque<HistoryRecord> ParseHistoryFile(std::string_view bytes);

std::string FormatHistoryFile(const std::deque<HistoryRecord>& history);
// Appends to `out`, whose storage can be kept from one write to the next.
void FormatHistoryFile(const std::deque<HistoryRecord>& history, std::string& out);

// One record's line, CR LF included, appended to `out`.
void FormatHistoryLine(const HistoryRecord& r, std::string& out);

// A text field holds no tab, CR or LF once written: each becomes a space, so
// the fields after it keep their places.
std::string MakeFieldSafe(std::string_view text);
void MakeFieldSafeInPlace(std::string& text);

} // namespace qlx::engine
