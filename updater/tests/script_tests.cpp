// The script verbs over the fake system: what each line does, logs and
// answers, with the restart handling and cancellation.
#include <gtest/gtest.h>

#include "updater/core/return_codes.h"
#include "updater/core/script_runner.h"
#include "updater/tests/fake_platform.h"

namespace qlx::updater::testing {
namespace {

const char* const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// A fake system with the files and programs the scripts below use, and a
// runner over it with base directory "C:\\p\\".
struct ScriptRig {
    FakePlatform platform;
    RecordingLog log;
    RecordingWindows windows;
    ScriptState state;

    explicit ScriptRig(const char* script) {
        platform.files["C:\\p\\a.dll"] = "A";
        platform.files["C:\\p\\s.script"] = script;
        platform.installResults["C:\\p\\inuse.dll"] = {0, true};
        platform.installResults["C:\\p\\locked.dll"] = {32, false};
    }
    ScriptRunner Runner(bool breakIfFail) {
        ScriptRunner runner(platform, windows, log, state, "C:\\p\\", breakIfFail);
        EXPECT_TRUE(runner.Load("C:\\p\\s.script", {}));
        return runner;
    }
};

struct ScriptCase {
    const char* script;
    bool breakIfFail;
    bool result;
    std::vector<std::string> logLines; // exactly these, in order
    std::vector<std::string> started;
    std::vector<std::string> installed;
    const char* runOnce; // the value written, or nullptr for none
};

TEST(Script, VerbsLinesAndOutcomes) {
    const ScriptCase cases[] = {
        {"copy a.dll c.dll rebootalways langinstall\nexec setup.exe /q wait\n"
         "copy a.dll d.dll\nexec setup.exe\n",
         true,
         true,
         {},
         {"\"C:\\p\\setup.exe\"  in C:\\p\\"},
         {"C:\\p\\a.dll>C:\\p\\c.dll", "C:\\p\\a.dll>C:\\p\\d.dll"},
         "\"C:\\p\\setup.exe\" /q "},
        {"copy a.dll inuse.dll rebootnone\nexec D:\\x\\run.exe a WAIT b",
         true,
         true,
         {},
         {},
         {"C:\\p\\a.dll>C:\\p\\inuse.dll"},
         "\"D:\\x\\run.exe\" a b "},
        {"exec run.exe 'a b' wait\ndelete gone.txt\nunknown verb",
         true,
         true,
         {"Script warning: file not deleted : C:\\p\\gone.txt, error: 2"},
         {"\"C:\\p\\run.exe\" \"a b\"  in C:\\p\\"},
         {},
         nullptr},
        {"unknown first\ncopy a.dll b.dll",
         true,
         false,
         {"Script failed. Terminating script execution."},
         {},
         {},
         nullptr},
        {"unknown first\ncopy a.dll b.dll",
         false,
         true,
         {},
         {},
         {"C:\\p\\a.dll>C:\\p\\b.dll"},
         nullptr},
        {"copy a.dll\ncopy a.dll b c d e\ncopy missing.dll b.dll\ncopy '' b.dll\n"
         "copy a.dll locked.dll\nexec\nexec bad.exe x\ndelete\ndelete a b\nsetevent\n"
         "waitforevent",
         false,
         true,
         {"Script error: invalid number of arguments, line: copy a.dll",
          "Script error: invalid number of arguments, line: copy a.dll b c d e",
          "Script error: file is missing : C:\\p\\missing.dll, line: copy missing.dll b.dll",
          "Script error: invalid argument, line: copy  b.dll",
          "Script error: file not copied : C:\\p\\a.dll to C:\\p\\locked.dll, error: 32, line: "
          "copy a.dll locked.dll",
          "Script error: argument expected, line: exec",
          "Script error: coldn't execute file, line :exec bad.exe x , error code = 2",
          "Script error: argument missed, line : delete",
          "Script error: argument missed, line : delete a b",
          "Script error: wrong argument list, line : setevent",
          "Script error: argument missed, line : waitforevent"},
         {},
         {"C:\\p\\a.dll>C:\\p\\locked.dll"},
         nullptr},
        {"copy a.dll locked.dll\ndelete a.dll",
         true,
         false,
         {"Script error: file not copied : C:\\p\\a.dll to C:\\p\\locked.dll, error: 32, line: "
          "copy a.dll locked.dll",
          "Script failed. Terminating script execution."},
         {},
         {"C:\\p\\a.dll>C:\\p\\locked.dll"},
         nullptr},
        {"setevent Late\nsetevent Late RESET\nsetevent Broken\nwaitforevent Late",
         false,
         true,
         {"Warning: event set/reset failed, line: setevent Broken , error code: 6"},
         {},
         {},
         nullptr},
    };
    for (const auto& c : cases) {
        ScriptRig rig(c.script);
        auto& [platform, log, windows, state] = rig;
        platform.failingPrograms.insert("bad.exe");
        platform.events["Late"].triesBeforeCreated = 3;
        platform.events["Late"].waitsBeforeSignalled = 2;
        platform.events["Broken"].setError = 6;
        platform.processWaits = 2;
        ScriptRunner runner = rig.Runner(c.breakIfFail);
        bool cancelled = false;
        EXPECT_EQ(runner.Run(&cancelled), c.result) << c.script;
        EXPECT_FALSE(cancelled);
        EXPECT_EQ(log.lines, c.logLines) << c.script;
        EXPECT_EQ(platform.started, c.started) << c.script;
        EXPECT_EQ(platform.installed, c.installed) << c.script;
        if (std::string_view(c.script).starts_with("setevent Late")) {
            EXPECT_EQ(platform.events["Late"].sets, (std::vector<bool>{false, true}));
        }
        auto runOnce = platform.registry.GetValue(RegRoot::CurrentUser, kRunOnce, "beef");
        EXPECT_EQ(runOnce.has_value(), c.runOnce != nullptr) << c.script;
        if (runOnce && c.runOnce) {
            EXPECT_EQ(*runOnce, RegData::String(c.runOnce));
        }
    }
}

TEST(Script, RestartFlagsFollowTheCopies) {
    const struct {
        const char* script;
        int mode;
        bool pending;
        bool required;
    } cases[] = {
        {"copy a.dll inuse.dll rebootnone", kRestartNone, true, false},
        {"copy a.dll inuse.dll", kRestartNormal, true, true},
        {"copy a.dll inuse.dll rebootalways", kRestartAlways, true, true},
        {"copy a.dll b.dll rebootalways", kRestartAlways, true, false},
        {"copy a.dll b.dll rebootalways\ncopy a.dll c.dll other", kRestartNormal, false, false},
        {"copy a.dll inuse.dll\ncopy a.dll b.dll rebootnone", kRestartNone, false, true},
    };
    for (const auto& c : cases) {
        ScriptRig rig(c.script);
        const ScriptState& state = rig.state;
        ScriptRunner runner = rig.Runner(true);
        bool cancelled = false;
        EXPECT_TRUE(runner.Run(&cancelled)) << c.script;
        EXPECT_EQ(state.restartMode, c.mode) << c.script;
        EXPECT_EQ(state.restartPending, c.pending) << c.script;
        EXPECT_EQ(state.restartRequired, c.required) << c.script;
    }
}

TEST(Script, TerminationEndsWaitsAndTheScript) {
    const struct {
        const char* script;
        int checksBeforeCancel;
        const char* logLine;
    } cases[] = {
        {"waitforevent Nobody", 4,
         "Warning: canceled by user after 2 seconds of opening event: Nobody"},
        {"waitforevent Never", 3,
         "Warning: canceled by user after 1 seconds waiting for event: Never"},
        {"exec run.exe wait", 4,
         "Warning: canceled by user after 2 seconds waiting for application: "
         "\"C:\\p\\run.exe\" "},
        {"setevent Nobody", 20,
         "Warning: canceled by user after 1 seconds of opening event: Nobody"},
        {"delete x.txt\ndelete y.txt", 0, nullptr},
    };
    for (const auto& c : cases) {
        ScriptRig rig(c.script);
        auto& [platform, log, windows, state] = rig;
        platform.events["Never"].waitsBeforeSignalled = 1000;
        platform.processWaits = 1000;
        // Checks: one per wait step (the waits of this fake answer at once).
        platform.terminationAfterChecks = c.checksBeforeCancel;
        ScriptRunner runner = rig.Runner(false);
        bool cancelled = false;
        try {
            runner.Run(&cancelled);
            ADD_FAILURE() << "not cancelled: " << c.script;
        } catch (const UpdaterFailure& failure) {
            EXPECT_EQ(failure.code, kCancelled);
        }
        EXPECT_TRUE(cancelled);
        if (c.logLine) {
            EXPECT_TRUE(std::find(log.lines.begin(), log.lines.end(), c.logLine) != log.lines.end())
                << c.script << "\n  " << (log.lines.empty() ? "" : log.lines.front());
        } else {
            EXPECT_EQ(platform.deleted.size(), 1u);
        }
    }
}

} // namespace
} // namespace qlx::updater::testing
