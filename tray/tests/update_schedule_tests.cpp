// The update schedule: the 80-byte record, next runs of every type (with
// the turns of month and year), planning against a schedule file, the
// updater's command line and the report of its exit code.
#include <gtest/gtest.h>

#include <map>

#include "tray/core/update_schedule.h"

namespace qlx::tray {
namespace {

SystemTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    // The weekday comes from the calendar, as the system fills it.
    return AddSeconds({static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0,
                       static_cast<uint16_t>(d), static_cast<uint16_t>(h),
                       static_cast<uint16_t>(mi), static_cast<uint16_t>(s), 0},
                      0);
}

const SystemTime kMonday = At(2026, 12, 7, 14, 0, 0);

class MemoryFiles final : public FileStore {
public:
    FileRead Read(const std::string& path) const override {
        if (failing) {
            return {FileRead::Status::Failed, {}};
        }
        auto it = files.find(path);
        return it == files.end() ? FileRead{} : FileRead{FileRead::Status::Read, it->second};
    }
    bool WriteReplacing(const std::string& path, const std::string& content) override {
        ++writes;
        files[path] = content;
        return true;
    }
    std::map<std::string, std::string> files;
    bool failing = false;
    int writes = 0;
};

TEST(ScheduleRecord, DefaultTaskBytesAndRoundTrip) {
    const std::string bytes = SerializeSchedule(DefaultTask(0, kMonday));
    ASSERT_EQ(bytes.size(), 80u);
    const auto word = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned char>(bytes[at + 1]) << 8 |
               static_cast<unsigned char>(bytes[at + 2]) << 16 |
               static_cast<unsigned char>(bytes[at + 3]) << 24;
    };
    EXPECT_EQ(word(0), 128u);
    EXPECT_EQ(word(4), 2026u | 12u << 16); // year, month of "Once"
    EXPECT_EQ(word(8), 1u | 7u << 16);     // Monday, the 7th
    EXPECT_EQ(word(12), 14u);              // 14:00
    for (size_t at : {36, 40, 44, 48, 52}) {
        EXPECT_EQ(word(at), 1u) << at;
    }
    EXPECT_EQ(word(56), 5u);
    EXPECT_EQ(word(60), 0u);
    EXPECT_EQ(bytes.substr(64), std::string(16, '\0'));
    EXPECT_EQ(DefaultTask(1, kMonday).minutes, 10);

    ScheduleRecord r;
    r.type = kWeekly;
    r.reference = At(2025, 2, 28, 23, 59, 58);
    r.everyWeeks = -3;
    r.nextRun = At(2030, 1, 1, 1, 2, 3);
    EXPECT_EQ(ParseSchedule(SerializeSchedule(r)), r);
    EXPECT_FALSE(ParseSchedule(bytes.substr(1)));
    EXPECT_FALSE(ParseSchedule(bytes + "x"));
}

TEST(ScheduleRecord, NextRunOfEveryType) {
    struct Case {
        const char* what;
        int32_t type;
        SystemTime now, reference;
        int32_t n, weekday, monthDay;
        SystemTime expected;
    };
    const SystemTime none{};
    const Case cases[] = {
        {"never", kNever, kMonday, At(2026, 1, 1, 9), 1, 1, 1, none},
        {"at startup", kAtStartup, kMonday, At(2026, 1, 1, 9), 1, 1, 1, none},
        {"on idle", kOnIdle, kMonday, At(2026, 1, 1, 9), 1, 1, 1, none},
        {"hourly later today", kHourly, kMonday, At(2020, 5, 5, 15, 30), 2, 0, 0,
         At(2026, 12, 7, 15, 30)},
        {"hourly passed", kHourly, kMonday, At(2020, 5, 5, 13, 0), 2, 0, 0, At(2026, 12, 7, 15)},
        {"hourly now is not ahead", kHourly, kMonday, kMonday, 1, 0, 0, At(2026, 12, 7, 15)},
        {"hourly count 0 as 1", kHourly, kMonday, kMonday, 0, 0, 0, At(2026, 12, 7, 15)},
        {"daily passed", kDaily, kMonday, At(2020, 1, 1, 9), 3, 0, 0, At(2026, 12, 10, 9)},
        {"daily at year end", kDaily, At(2026, 12, 31, 10), At(2020, 1, 1, 9), 1, 0, 0,
         At(2027, 1, 1, 9)},
        {"weekly later this week", kWeekly, kMonday, At(2020, 1, 1, 8), 1, 3, 0,
         At(2026, 12, 9, 8)},
        {"weekly weekday gone", kWeekly, kMonday, At(2020, 1, 1, 8), 2, 0, 0, At(2026, 12, 20, 8)},
        {"weekly from saturday", kWeekly, At(2026, 12, 12, 9), At(2020, 1, 1, 8), 1, 5, 0,
         At(2026, 12, 18, 8)},
        {"weekly today ahead", kWeekly, kMonday, At(2020, 1, 1, 15), 1, 1, 0, At(2026, 12, 7, 15)},
        {"weekly today passed", kWeekly, kMonday, At(2020, 1, 1, 10), 2, 1, 0,
         At(2026, 12, 21, 10)},
        {"weekly across the year", kWeekly, At(2026, 12, 31, 9), At(2020, 1, 1, 8), 1, 2, 0,
         At(2027, 1, 5, 8)},
        {"monthly at year end", kMonthly, kMonday, At(2020, 1, 1, 6), 1, 0, 15, At(2027, 1, 15, 6)},
        {"monthly day past month end", kMonthly, At(2027, 1, 10), At(2020, 1, 1, 6), 1, 0, 31,
         At(2027, 2, 28, 6)},
        {"monthly leap february", kMonthly, At(2028, 1, 31, 23), At(2020, 1, 1, 6), 1, 0, 29,
         At(2028, 2, 29, 6)},
        {"monthly day 0 as 1", kMonthly, At(2027, 3, 3), At(2020, 1, 1, 6), 1, 0, 0,
         At(2027, 4, 1, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScheduleRecord r;
        r.type = c.type;
        r.reference = c.reference;
        r.everyHours = r.everyDays = r.everyWeeks = c.n;
        r.weekday = c.weekday;
        r.monthDay = c.monthDay;
        EXPECT_EQ(ComputeNextRun(r, c.now), c.expected);
    }
    ScheduleRecord once;
    once.type = kOnce;
    once.once = At(2027, 6, 1, 12);
    EXPECT_EQ(ComputeNextRun(once, kMonday), once.once);
}

TEST(SchedulePlan, TimersFromTheScheduleFile) {
    using A = PlanStep::Action;
    struct Case {
        const char* what;
        int32_t type;
        SystemTime next;
        int64_t sinceStart;
        A action;
        int64_t delay;
    };
    const Case cases[] = {
        {"once in 5 s", kOnce, AddSeconds(kMonday, 5), 0, A::ArmKindTimer, 5},
        {"once passed", kOnce, AddSeconds(kMonday, -5), 0, A::Nothing, 0},
        {"30 days: re-plan in 3 hours", kOnce, AddSeconds(kMonday, 30 * 86400), 0,
         A::ArmReplanTimer, 30 * 86400},
        {"just under the limit", kOnce, AddSeconds(kMonday, kLongestTimerDelay - 1), 0,
         A::ArmKindTimer, kLongestTimerDelay - 1},
        {"never, whatever its next run says", kNever, AddSeconds(kMonday, 60), 0, A::Nothing, 0},
        {"idle at start", kOnIdle, {}, 0, A::ArmKindTimer, 300},
        {"idle when the timer fires", kOnIdle, {}, 300, A::Nothing, 0},
        {"at startup", kAtStartup, {}, 0, A::Nothing, 0},
        {"broken next run", kOnce, {2026, 13, 0, 40, 0, 0, 0, 0}, 0, A::Nothing, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScheduleRecord r = DefaultTask(0, kMonday);
        r.type = c.type;
        r.nextRun = c.next;
        MemoryFiles files;
        files.files["Program.upd"] = SerializeSchedule(r);
        const PlanStep step = PlanSchedule(files, "Program.upd", 0, kMonday, c.sinceStart);
        EXPECT_EQ(step.action, c.action);
        EXPECT_EQ(step.delaySeconds, c.delay);
        EXPECT_EQ(files.writes, 0);
    }
}

TEST(SchedulePlan, DefaultTaskPassedPeriodsAndFilesThatCannotBeRead) {
    MemoryFiles files;
    PlanStep step = PlanSchedule(files, "Program.upd", 0, kMonday, 0);
    EXPECT_EQ(step.action, PlanStep::Action::ArmKindTimer);
    EXPECT_EQ(step.delaySeconds, 300);
    EXPECT_EQ(files.files["Program.upd"], SerializeSchedule(DefaultTask(0, kMonday)));

    // The bases kind has no file: nothing is armed and nothing written.
    EXPECT_EQ(PlanSchedule(files, "", 1, kMonday, 0).action, PlanStep::Action::Nothing);
    EXPECT_EQ(files.writes, 1);

    // A daily task whose time passed starts again from now and is armed.
    ScheduleRecord daily = DefaultTask(0, kMonday);
    daily.type = kDaily;
    daily.nextRun = At(2026, 12, 1, 9);
    files.files["Program.upd"] = SerializeSchedule(daily);
    step = PlanSchedule(files, "Program.upd", 0, kMonday, 0);
    EXPECT_EQ(step.action, PlanStep::Action::ArmKindTimer);
    EXPECT_EQ(step.delaySeconds, 86400);
    const auto saved = ParseSchedule(files.files["Program.upd"]);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->reference, kMonday);
    EXPECT_EQ(saved->nextRun, At(2026, 12, 8, 14));

    // A short file or one that cannot be read is planned as the default
    // task and kept as it is.
    files.files["Program.upd"] = "short";
    files.writes = 0;
    EXPECT_EQ(PlanSchedule(files, "Program.upd", 0, kMonday, 0).delaySeconds, 300);
    files.failing = true;
    EXPECT_EQ(PlanSchedule(files, "Program.upd", 0, kMonday, 0).delaySeconds, 300);
    EXPECT_EQ(files.writes, 0);
    EXPECT_EQ(files.files["Program.upd"], "short");
}

TEST(UpdaterLaunch, ParameterTextAndReports) {
    EXPECT_EQ(UpdaterParameters(0, false, "C:\\Program Files\\Quellix\\"),
              "update -ProductVersion=@version.dat -Server=@server.dat "
              "-ProductName=\"#HKLM\\Software\\Quellix\\AppName\" "
              "-ProductAbbreviation=\"#HKLM\\Software\\Quellix\\AppShortName\" "
              "-VersionFile=version.dat -AppDir=\"C:\\Program Files\\Quellix\"");
    EXPECT_TRUE(
        UpdaterParameters(0, true, "C:\\Q\\").ends_with("-AppDir=\"C:\\Q\" -Appearance=Invisible"));
    const std::string bases = UpdaterParameters(1, true, "C:\\Q\\");
    EXPECT_TRUE(bases.starts_with("update -ProductVersion=@dbversion.dat "));
    EXPECT_TRUE(bases.ends_with(" -Appearance=Stealth"));

    const ReportTexts texts{"%s was updated to version  ", "%s bases were updated to version  ",
                            "is up-to-date", "bases are up-to-date"};
    struct Case {
        int32_t code;
        int kind;
        const char* text; // null: no report
        uint32_t ms;
    };
    const Case cases[] = {
        {21, 0, "Quellix was updated to version  1.0.0.1", 3000},
        {22, 0, "Quellix was updated to version  1.0.0.1", 3000},
        {23, 1, "Quellix bases were updated to version  99.1", 3000},
        {25, 0, "Quellix was updated to version  1.0.0.1", 3000},
        {24, 0, "Quellix is up-to-date", 4000},
        {24, 1, "Quellix bases are up-to-date", 4000},
        {26, 0, nullptr, 0},
        {0, 0, nullptr, 0},
        {-18, 0, nullptr, 0},
        {20, 0, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const auto report = ReportForExitCode(c.code);
        ASSERT_EQ(report.has_value(), c.text != nullptr);
        if (report) {
            EXPECT_EQ(report->showMs, c.ms);
            EXPECT_EQ(report->rereadVersion, c.code != 24);
            EXPECT_EQ(ReportText(c.code, c.kind, "Quellix", c.kind ? "99.1" : "1.0.0.1", texts),
                      c.text);
        }
    }
}

} // namespace
} // namespace qlx::tray
