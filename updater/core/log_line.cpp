#include "updater/core/log_line.h"

#include <cstdio>

namespace qlx::updater {

std::string TextualTime(const std::tm& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int day = t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0;
    const int month = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s%3d %02d:%02d:%02d %d", kDays[day], kMonths[month],
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
    return buffer;
}

std::optional<std::string> FormatLogLine(std::string_view stamp, std::string_view message) {
    if (message.size() <= 2) {
        return std::nullopt;
    }
    std::string line(stamp);
    line += "    ";
    line += message;
    if (!message.ends_with("\r\n") && !message.ends_with("\n\r")) {
        line += "\r\n";
    }
    return line;
}

} // namespace qlx::updater
