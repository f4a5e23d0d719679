#pragma once
// Local wall-clock time behind a seam, so that the day roll-over and the
// time stamps of recorded pop-ups can be tested at any chosen moment.
#include <string>

namespace qlx::tray {

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
};

class SystemClock final : public Clock {
public:
    LocalDateTime Now() const override;
};

// "%Y-%m-%d %H:%M:%S", the time of a history entry.
std::string FormatTime(const LocalDateTime& t);
// "%Y-%m-%d", the day of the blocked-today counter.
std::string FormatDate(const LocalDateTime& t);

} // namespace qlx::tray
