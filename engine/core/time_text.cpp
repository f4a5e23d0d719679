#include "engine/core/time_text.h"

#include <cstdint>
#include <cstdio>

namespace qlx::engine {

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

std::string FormatTimeText(std::time_t t) {
    const std::tm tm = LocalTime(t);
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return std::string(buf, n);
}

int32_t ReadDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > (int64_t{1} << 32)) {
            value = int64_t{1} << 32; // saturate; the exact overflow value does not matter
        }
    }
    const int64_t v = negative ? -value : value;
    if (v > INT32_MAX) {
        return INT32_MAX;
    }
    if (v < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(v);
}

std::optional<std::time_t> ParseTimeText(std::string_view text) {
    const char separators[5] = {'-', '-', ' ', ':', ':'};
    int32_t parts[6];
    for (int i = 0; i < 5; ++i) {
        const size_t pos = text.find(separators[i]);
        if (pos == std::string_view::npos) {
            return std::nullopt;
        }
        parts[i] = ReadDecimal(text.substr(0, pos));
        text.remove_prefix(pos + 1);
    }
    parts[5] = ReadDecimal(text);
    if (parts[0] == 0 || parts[1] == 0 || parts[2] == 0) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = parts[0] - 1900;
    tm.tm_mon = parts[1] - 1;
    tm.tm_mday = parts[2];
    tm.tm_hour = parts[3];
    tm.tm_min = parts[4];
    tm.tm_sec = parts[5];
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return t;
}

} // namespace qlx::engine
