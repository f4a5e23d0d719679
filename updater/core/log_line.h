#pragma once
// Lines of "update.log": the C library's textual time (24 characters), four
// blanks, the message and CR LF.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace qlx::updater {

// A log of more than this many bytes is started afresh when it is opened.
constexpr uint64_t kLogSizeLimit = 100000;

// "Mon Jan 17 09:16:12 2005": the English form, whatever the locale.
std::string TextualTime(const std::tm& time);

// The line for `message`, or nothing for a message of two characters or
// fewer. A message that already ends with CR LF or LF CR gets no second one.
std::optional<std::string> FormatLogLine(std::string_view stamp, std::string_view message);

// Where the engine writes its log lines.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void Write(std::string_view message) = 0;
};

} // namespace qlx::updater
