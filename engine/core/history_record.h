#pragma once
// One blocked pop-up in the engine's history, with its occurrence counters.
#include <cstdint>
#include <string>

namespace qlx::engine {

// Counter values besides positive totals.
inline constexpr int32_t kNotCounted = 0;
inline constexpr int32_t kDefaultProcess = -1; // process counter of a default process
inline constexpr int32_t kCountedLater = -2;   // a newer record holds the total

inline constexpr const char* kUnknown = "N/A";

struct HistoryRecord {
    std::string time;
    std::string title;
    std::string site;
    std::string popup;
    std::string process;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t siteCount = 0;
    int32_t addressCount = 0;
    int32_t processCount = 0;
    bool operator==(const HistoryRecord&) const = default;
};

} // namespace qlx::engine
