#pragma once
// The update schedule of the tray program: the 80-byte schedule record of
// "Program.upd", its next-run computation, the planning decision that the
// hidden timer window carries out, the updater's command line and the
// report made of its exit code.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tray/core/file_store.h"

namespace qlx::tray {

// A Windows system-time record (16 bytes), local time. All zero: no time.
struct SystemTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;

    bool IsZero() const { return year == 0 && month == 0 && day == 0; }
    bool operator==(const SystemTime&) const = default;
};

enum ScheduleType : int32_t {
    kNever = 1,
    kOnce = 2,
    kHourly = 4,
    kDaily = 8,
    kWeekly = 16,
    kMonthly = 32,
    kAtStartup = 64,
    kOnIdle = 128,
};

struct ScheduleRecord {
    int32_t type = kOnIdle;
    SystemTime once;
    SystemTime reference; // time of day of the periodic types
    int32_t everyHours = 1, everyDays = 1, everyWeeks = 1;
    int32_t weekday = 1;  // 0 Sunday .. 6 Saturday
    int32_t monthDay = 1; // 1 .. 31
    int32_t minutes = 0;  // idle time, or delay at start-up
    int32_t reserved = 0;
    SystemTime nextRun;

    bool operator==(const ScheduleRecord&) const = default;
};

inline constexpr size_t kScheduleRecordSize = 80;

std::string SerializeSchedule(const ScheduleRecord& record);
// Only a block of exactly 80 bytes is a record.
std::optional<ScheduleRecord> ParseSchedule(std::string_view bytes);

// Written when a kind has no schedule file: "On idle" after 5 minutes
// (program) or 10 (bases).
ScheduleRecord DefaultTask(int kind, const SystemTime& now);

// The record's next run from `now`; zero for the types without one.
SystemTime ComputeNextRun(const ScheduleRecord& record, const SystemTime& now);

// Seconds from `from` to `to` by the calendar (local time, no zones);
// nullopt when either is not a valid date.
std::optional<int64_t> SecondsBetween(const SystemTime& from, const SystemTime& to);
// `t` moved by whole seconds, with its weekday set.
SystemTime AddSeconds(const SystemTime& t, int64_t seconds);

inline constexpr uint32_t kProgramTimer = 333; // + kind
inline constexpr uint32_t kReplanTimer = 204;
inline constexpr uint32_t kReplanMs = 3 * 60 * 60 * 1000;
// Delays from here on do not fit a timer's milliseconds.
inline constexpr int64_t kLongestTimerDelay = 2147484;

struct PlanStep {
    enum class Action { Nothing, ArmKindTimer, ArmReplanTimer };
    Action action = Action::Nothing;
    int64_t delaySeconds = 0;
};

// Plans one kind from its schedule file: writes the default task when the
// file is absent, re-plans a periodic task whose time has passed (saving
// it back), and says which timer to arm. A file that exists but cannot be
// read is planned as the default task and never written over. A kind with
// no file name plans nothing and writes nothing.
PlanStep PlanSchedule(FileStore& files, const std::string& path, int kind, const SystemTime& now,
                      int64_t secondsSinceStart);

// The updater's parameter text (the verb and options after the program).
std::string UpdaterParameters(int kind, bool invisible, const std::string& programFolder);

// What the tray program says about an updater's exit code.
struct UpdateReport {
    bool rereadVersion = false;
    uint32_t showMs = 0;
};
std::optional<UpdateReport> ReportForExitCode(int32_t exitCode);

// The texts of the string table that the report uses.
struct ReportTexts {
    std::string updated;       // "%s was updated to version  "
    std::string basesUpdated;  // "%s bases were updated to version  "
    std::string upToDate;      // "is up-to-date"
    std::string basesUpToDate; // "bases are up-to-date"
};
std::string ReportText(int32_t exitCode, int kind, const std::string& productName,
                       const std::string& version, const ReportTexts& texts);

} // namespace qlx::tray
