#pragma once
// The time text "%Y-%m-%d %H:%M:%S" (local time) of the history and recent
// records, and reading it back.
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace qlx::engine {

std::tm LocalTime(std::time_t t);

std::string FormatTimeText(std::time_t t);

// Splits at "-", "-", " ", ":", ":" and reads six decimal numbers. A missing
// separator or a zero year, month or day makes the text unreadable. The
// daylight-saving flag is left to the system.
std::optional<std::time_t> ParseTimeText(std::string_view text);

// C library text-to-integer rules: leading spaces, optional sign, digits up
// to the first other character; no digits gives 0.
int32_t ReadDecimal(std::string_view text);

} // namespace qlx::engine
