#include "tray/core/update_schedule.h"

#include <algorithm>

#include "tray/core/text_fill.h"

namespace qlx::tray {

namespace {

constexpr int64_t kDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

SystemTime CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    SystemTime t;
    t.year = static_cast<uint16_t>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
    t.month = static_cast<uint16_t>(m);
    t.day = static_cast<uint16_t>(d);
    t.dayOfWeek = static_cast<uint16_t>(((z - 719468) % 7 + 11) % 7); // 1970-01-01 was a Thursday
    return t;
}

unsigned DaysInMonth(int year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool Valid(const SystemTime& t) {
    return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour < 24 && t.minute < 60 && t.second < 60;
}

int64_t Seconds(const SystemTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * kDay + t.hour * 3600 + t.minute * 60 + t.second;
}

SystemTime FromSeconds(int64_t s) {
    const int64_t days = (s >= 0 ? s : s - (kDay - 1)) / kDay;
    const int64_t rest = s - days * kDay;
    SystemTime t = CivilFromDays(days);
    t.hour = static_cast<uint16_t>(rest / 3600);
    t.minute = static_cast<uint16_t>(rest / 60 % 60);
    t.second = static_cast<uint16_t>(rest % 60);
    return t;
}

void PutWord(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void PutTime(std::string& out, const SystemTime& t) {
    for (uint16_t v :
         {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds}) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>(v >> 8));
    }
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    uint32_t Byte() { return static_cast<unsigned char>(bytes_[at_++]); }
    int32_t Word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= Byte() << (8 * i);
        }
        return static_cast<int32_t>(v);
    }
    SystemTime Time() {
        uint16_t f[8];
        for (auto& v : f) {
            v = static_cast<uint16_t>(Byte() | Byte() << 8);
        }
        return {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
    }

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

} // namespace

std::string SerializeSchedule(const ScheduleRecord& r) {
    std::string out;
    out.reserve(kScheduleRecordSize);
    PutWord(out, static_cast<uint32_t>(r.type));
    PutTime(out, r.once);
    PutTime(out, r.reference);
    for (int32_t v :
         {r.everyHours, r.everyDays, r.everyWeeks, r.weekday, r.monthDay, r.minutes, r.reserved}) {
        PutWord(out, static_cast<uint32_t>(v));
    }
    PutTime(out, r.nextRun);
    return out;
}

std::optional<ScheduleRecord> ParseSchedule(std::string_view bytes) {
    if (bytes.size() != kScheduleRecordSize) {
        return std::nullopt;
    }
    Reader in(bytes);
    ScheduleRecord r;
    r.type = in.Word();
    r.once = in.Time();
    r.reference = in.Time();
    r.everyHours = in.Word();
    r.everyDays = in.Word();
    r.everyWeeks = in.Word();
    r.weekday = in.Word();
    r.monthDay = in.Word();
    r.minutes = in.Word();
    r.reserved = in.Word();
    r.nextRun = in.Time();
    return r;
}

ScheduleRecord DefaultTask(int kind, const SystemTime& now) {
    ScheduleRecord r;
    r.type = kOnIdle;
    r.minutes = kind == 0 ? 5 : 10;
    r.once = now;
    return r;
}

std::optional<int64_t> SecondsBetween(const SystemTime& from, const SystemTime& to) {
    if (!Valid(from) || !Valid(to)) {
        return std::nullopt;
    }
    return Seconds(to) - Seconds(from);
}

SystemTime AddSeconds(const SystemTime& t, int64_t seconds) {
    return FromSeconds(Seconds(t) + seconds);
}

SystemTime ComputeNextRun(const ScheduleRecord& r, const SystemTime& now) {
    if (!Valid(now)) {
        return {};
    }
    if (r.type == kOnce) {
        return r.once;
    }
    // Today at the reference time of day (a broken reference counts as midnight).
    SystemTime candidate = now;
    candidate.hour = r.reference.hour < 24 ? r.reference.hour : 0;
    candidate.minute = r.reference.minute < 60 ? r.reference.minute : 0;
    candidate.second = r.reference.second < 60 ? r.reference.second : 0;
    candidate.milliseconds = 0;
    candidate = FromSeconds(Seconds(candidate)); // sets the weekday
    const bool ahead = Seconds(candidate) - Seconds(now) >= 1;
    // A count below one would never move the run forward.
    const auto atLeastOne = [](int32_t n) { return static_cast<int64_t>(std::max(n, 1)); };

    switch (r.type) {
    case kHourly:
        return ahead ? candidate : AddSeconds(candidate, atLeastOne(r.everyHours) * 3600);
    case kDaily:
        return ahead ? candidate : AddSeconds(candidate, atLeastOne(r.everyDays) * kDay);
    case kWeekly: {
        const int target = std::clamp(r.weekday, 0, 6);
        const int today = candidate.dayOfWeek;
        if (today < target) {
            return AddSeconds(candidate, (target - today) * kDay);
        }
        if (today > target) {
            const int64_t toSunday = 7 - today;
            return AddSeconds(candidate,
                              (toSunday + (atLeastOne(r.everyWeeks) - 1) * 7 + target) * kDay);
        }
        // Today's time gone: the same weekday N weeks on, never a past time.
        return ahead ? candidate : AddSeconds(candidate, atLeastOne(r.everyWeeks) * 7 * kDay);
    }
    case kMonthly: {
        // The month after the current one, across the turn of the year.
        const int year = now.month == 12 ? now.year + 1 : now.year;
        const unsigned month = now.month == 12 ? 1 : now.month + 1u;
        const unsigned day = std::min<unsigned>(
            static_cast<unsigned>(std::clamp(r.monthDay, 1, 31)), DaysInMonth(year, month));
        SystemTime next = candidate;
        next.year = static_cast<uint16_t>(year);
        next.month = static_cast<uint16_t>(month);
        next.day = static_cast<uint16_t>(day);
        return FromSeconds(Seconds(next));
    }
    default: // Never, At startup, On idle and unknown types have no next run.
        return {};
    }
}

PlanStep PlanSchedule(FileStore& files, const std::string& path, int kind, const SystemTime& now,
                      int64_t secondsSinceStart) {
    if (path.empty()) {
        return {};
    }
    ScheduleRecord record = DefaultTask(kind, now);
    const FileRead read = files.Read(path);
    bool writable = false;
    if (read.status == FileRead::Status::Missing) {
        writable = files.WriteReplacing(path, SerializeSchedule(record));
    } else if (auto parsed = read.ok() ? ParseSchedule(read.content) : std::nullopt) {
        record = *parsed;
        writable = true;
    }

    if (record.type == kNever) {
        return {};
    }
    for (int pass = 0; pass < 2; ++pass) {
        int64_t delay = 0;
        if (!record.nextRun.IsZero()) {
            delay = SecondsBetween(now, record.nextRun).value_or(0);
        }
        bool idleDue = false;
        if (record.type == kOnIdle) {
            const int64_t threshold = static_cast<int64_t>(record.minutes) * 60;
            // At the timer's own moment the whole idle time has passed.
            idleDue = secondsSinceStart >= threshold;
            delay = idleDue ? -1 : threshold;
        }
        if (!idleDue && delay >= kLongestTimerDelay) {
            return {PlanStep::Action::ArmReplanTimer, delay};
        }
        if (delay > 0) {
            return {PlanStep::Action::ArmKindTimer, delay};
        }
        const bool periodic = record.type == kHourly || record.type == kDaily ||
                              record.type == kWeekly || record.type == kMonthly;
        if (!periodic || pass == 1) {
            return {};
        }
        // A periodic task whose time passed starts over from now, and its
        // new time is armed at once rather than left waiting for a restart.
        record.reference = now;
        record.nextRun = ComputeNextRun(record, now);
        if (writable) {
            files.WriteReplacing(path, SerializeSchedule(record));
        }
    }
    return {};
}

std::string UpdaterParameters(int kind, bool invisible, const std::string& programFolder) {
    std::string folder = programFolder;
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    std::string text = "update -ProductVersion=";
    text += kind == 0 ? "@version.dat" : "@dbversion.dat";
    text += " -Server=@server.dat";
    text += " -ProductName=\"#HKLM\\Software\\Quellix\\AppName\"";
    text += " -ProductAbbreviation=\"#HKLM\\Software\\Quellix\\AppShortName\"";
    text += " -VersionFile=version.dat";
    text += " -AppDir=\"" + folder + "\"";
    if (invisible) {
        text += kind == 0 ? " -Appearance=Invisible" : " -Appearance=Stealth";
    }
    return text;
}

std::optional<UpdateReport> ReportForExitCode(int32_t exitCode) {
    switch (exitCode) {
    case 21:
    case 22:
    case 23:
    case 25:
        return UpdateReport{true, 3000};
    case 24:
        return UpdateReport{false, 4000};
    default:
        return std::nullopt;
    }
}

std::string ReportText(int32_t exitCode, int kind, const std::string& productName,
                       const std::string& version, const ReportTexts& texts) {
    if (exitCode == 24) {
        return productName + " " + (kind == 0 ? texts.upToDate : texts.basesUpToDate);
    }
    return FillPlaceholder(kind == 0 ? texts.updated : texts.basesUpdated, productName) + version;
}

} // namespace qlx::tray
