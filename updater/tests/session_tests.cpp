// One update session from the command line to the return code, the log and
// the windows, over the fake system.
#include <gtest/gtest.h>

#include "updater/core/install_journal.h"
#include "updater/core/return_codes.h"
#include "updater/tests/test_support.h"

namespace qlx::updater::testing {
namespace {

const char* const kServer = "-Server=http://s/u -ProductVersion=1.2.3.4 ";

struct SessionCase {
    std::string commandLine;
    int32_t code;
    std::vector<std::string> logLines;
    std::vector<std::string> windowCalls; // each must occur, in this order
    int terminationAfterChecks = -1;
};

TEST(Session, ReturnCodesLogAndWindows) {
    const SessionCase cases[] = {
        {std::string(kServer),
         kInvalidRequest,
         {"ERROR: Invalid request type: -1.", "Engine is exiting with return code of -3."},
         {"begin Download session is under progress", "final 303", "ended -3", "end"}},
        {"check -ProductVersion=1.2.3.4",
         kNoServers,
         {"Fatal error: no update servers specified."},
         {"final 303", "ended -1"}},
        {"executescript=s.script -ProductVersion=1.2.3.4", kNoServers, {}, {}},
        {std::string(kServer) + "check -ProductVersion=1.2.3",
         kBadProductVersion,
         {"ERROR: incorrect ProductVersion format: \"1.2.3\"."},
         {}},
        {std::string(kServer) + "-ProductName=Q -Appearance=stealth update",
         kGeneralFailure,
         {},
         {}},
        {std::string(kServer) + "-ProductAbbreviation=QA -Appearance=odd CHECK",
         kNetworkFailure,
         {"Warning: unknown appearence option specified: odd",
          "Sending request:  http://s/u?proto=3&v=1.2.3.4&abbr=QA&platform=nt&os_version=6.1."
          "7601.1.0",
          "Error: failed to open URL. See updater's error code for details."},
         {}},
        // No update.key: nothing is trusted, no server is asked.
        {std::string(kServer) + "-Server=http://t/ getlanguage",
         kGeneralFailure,
         {"Fatal error: no update signing key (update.key); downloads are not trusted.",
          "Engine is exiting with return code of -18."},
         {"begin Change language"}},
        {std::string(kServer) + "-Appearance=Invisible delayedlangreg",
         kInvalidRequest,
         {"ERROR: Invalid request type: 5.", "Engine is exiting with return code of -3."},
         {"appearance 1", "begin Download session is under progress", "final 303", "ended -3"}},
        {std::string(kServer) + "executescript",
         kInvalidRequest,
         {"Warning: incorrectly used ExecuteScript verb, ignored."},
         {}},
        {std::string(kServer) + "executescript=missing.script",
         kScriptFailed,
         {"Warning: script file not found: C:\\prog\\missing.script"},
         {}},
        {std::string(kServer) + "executescript=ok.script -Server=http://second",
         kUpdated,
         {"Processing variables file: C:\\prog\\ok.script"},
         {"title Updating your application\x92s program files", "installing", "progress 0",
          "hide progress", "ended 21"}},
        {std::string(kServer) + "executescript=D:\\fails.script -BreakScriptIfFail=YES",
         kScriptFailed,
         {"Script failed. Terminating script execution."},
         {"final 303", "ended -2"}},
        {std::string(kServer) + "executescript=ok.script",
         kCancelled,
         {"Engine is exiting with return code of 26."},
         {"ended 26"},
         0},
    };
    for (const auto& c : cases) {
        EngineRig rig(c.commandLine);
        rig.platform.existingInstances.insert("QUpdater");
        rig.platform.files["C:\\prog\\ok.script"] =
            "[Variables]\r\nDest=c.dll\r\ncopy a.dll %dest%\r\n";
        rig.platform.files["C:\\prog\\a.dll"] = "A";
        rig.platform.files["D:\\fails.script"] = "bogus line\r\ncopy a.dll b.dll\r\n";
        rig.platform.terminationAfterChecks = c.terminationAfterChecks;
        int32_t code = 0;
        {
            UpdateEngine engine(rig.platform, rig.windows, rig.log);
            code = engine.RunSession();
            EXPECT_EQ(engine.ReturnCode(), code);
        }
        EXPECT_EQ(code, c.code) << c.commandLine;
        for (const std::string& line : c.logLines) {
            EXPECT_TRUE(rig.log.Has(line)) << c.commandLine << "\n  missing: " << line;
        }
        auto at = rig.windows.calls.begin();
        for (const std::string& call : c.windowCalls) {
            at = std::find(at, rig.windows.calls.end(), call);
            EXPECT_NE(at, rig.windows.calls.end()) << c.commandLine << "\n  missing: " << call;
        }
        EXPECT_EQ(rig.log.lines.front(), "*******     Updater engine started     *******");
        EXPECT_EQ(rig.log.lines.back(), "    ");
        EXPECT_EQ(rig.windows.calls.back(), "end");
    }
}

TEST(Session, SecondInstanceTellsTheFirstItsAppearance) {
    EngineRig rig(std::string(kServer) + "-ProductName=Q -Appearance=Invisible update");
    rig.platform.existingInstances.insert("QUpdater");
    UpdateEngine engine(rig.platform, rig.windows, rig.log);
    EXPECT_EQ(engine.RunSession(), kGeneralFailure);
    EXPECT_EQ(rig.platform.broadcasts, std::vector<std::string>{"QUpdater:1"});

    EngineRig first(std::string(kServer) + "-ProductName=P update");
    UpdateEngine engine2(first.platform, first.windows, first.log);
    engine2.RunSession();
    EXPECT_EQ(first.platform.registered, (std::vector<std::string>{"PUpdater", "P Tray Message"}));
}

TEST(Session, TerminationEventThatCannotBeMadeIsAFailure) {
    EngineRig rig(std::string(kServer) + "check");
    rig.platform.terminationError = 5;
    UpdateEngine engine(rig.platform, rig.windows, rig.log);
    EXPECT_EQ(engine.RunSession(), kGeneralFailure);
    EXPECT_TRUE(rig.log.Has("Fatal error: can't create synchronization event, error code: 5"));
}

TEST(Session, FolderVariablesReachScripts) {
    EngineRig rig(std::string(kServer) + "executescript=f.script -CSIDL_SYSTEM=overridden");
    rig.platform.folders = {{"CSIDL_SYSTEM", "C:\\windows\\system32"}};
    rig.platform.files["C:\\prog\\f.script"] = "copy a.dll %CSIDL_SYSTEM%\\a.dll rebootnone";
    rig.platform.files["C:\\prog\\a.dll"] = "A";
    rig.platform.installResults["C:\\windows\\system32\\a.dll"] = {0, true};
    UpdateEngine engine(rig.platform, rig.windows, rig.log);
    EXPECT_EQ(engine.RunSession(), kUpdated);
    EXPECT_EQ(rig.platform.installed,
              std::vector<std::string>{"C:\\prog\\a.dll>C:\\windows\\system32\\a.dll"});
    EXPECT_TRUE(engine.Script().restartPending);
    EXPECT_FALSE(engine.Script().restartRequired);
}

TEST(WriteVariable, WritesBackIntoTheVariablesFileOrSaysWhyNot) {
    const struct {
        const char* storage;
        const char* name;
        bool written;
        const char* logLine;
    } cases[] = {
        {"C:\\prog\\updater.dat", "ProductVersion", true, nullptr},
        {"C:\\prog\\updater.dat", "AppDir", true, nullptr},
        {"", "ProductVersion", false,
         "Warning: can't write value to file, storage name: \"\", variable name: "
         "\"ProductVersion\""},
        {"C:\\prog\\gone.dat", "ProductVersion", false,
         "Warning: can't write \"ProductVersion\" variable into file C:\\prog\\gone.dat, error "
         "code: 2"},
        {"C:\\prog\\bad.dat", "ProductVersion", false,
         "Warning: file has invalid format: C:\\prog\\bad.dat."},
        {"C:\\prog\\locked.dat", "ProductVersion", false,
         "Warning: can't write to file: C:\\prog\\locked.dat, error code: 5"},
    };
    for (const auto& c : cases) {
        EngineRig rig("");
        const std::string original = "[general]\r\nProductVersion=1.0.0.0\r\n";
        rig.platform.files["C:\\prog\\updater.dat"] = original;
        rig.platform.files["C:\\prog\\bad.dat"] = "[general]\nProductVersion\n";
        rig.platform.files["C:\\prog\\locked.dat"] = original;
        rig.platform.readOnlyFiles.insert("C:\\prog\\locked.dat");
        UpdateEngine engine(rig.platform, rig.windows, rig.log);
        EXPECT_EQ(engine.WriteVariable(c.storage, c.name, "2.0.0.0"), c.written) << c.name;
        if (c.logLine) {
            EXPECT_TRUE(rig.log.Has(c.logLine)) << rig.log.lines.back();
        } else {
            // What was written is read as the next session reads it.
            EXPECT_TRUE(engine.ProcessVariablesFile(c.storage));
            const bool option = IsKnownOption(c.name);
            EXPECT_EQ(option ? engine.Options().Value(c.name) : engine.Variables().at(c.name),
                      "2.0.0.0");
        }
        EXPECT_EQ(rig.platform.files["C:\\prog\\locked.dat"], original);
    }
}

TEST(FinalMessage, ChosenFromTheReturnCode) {
    const struct {
        int32_t code;
        bool restartRequired;
        int message;
        int32_t after;
    } cases[] = {
        {-18, false, 303, -18}, {-4, false, 303, -4}, {22, false, 306, 22},   {23, true, 306, 22},
        {23, false, 307, 23},   {12, false, 302, 12}, {115, false, 302, 115}, {0, false, 303, 0},
        {20, false, 303, 20},   {21, false, 0, 21},   {26, false, 0, 26},     {30, false, 303, 30},
    };
    for (const auto& c : cases) {
        const FinalMessageChoice choice = ChooseFinalMessage(c.code, c.restartRequired);
        EXPECT_EQ(choice.stringId, c.message) << c.code;
        EXPECT_EQ(choice.returnCode, c.after) << c.code;
    }
}

TEST(ProductVersion, Format) {
    const struct {
        const char* version;
        bool valid;
    } cases[] = {{"1.2.3.4", true}, {"1.2.3.4.5", true},    {"10.0.0.100", true},
                 {"1.2.3", false},  {"1.2.3.4.5.6", false}, {"1.2.3.4.", false},
                 {"1..2.3", false}, {".1.2.3", false},      {"1.2.3.a", false},
                 {"", false},       {"1.2.3 .4", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidProductVersion(c.version), c.valid) << c.version;
    }
}

} // namespace
} // namespace qlx::updater::testing

namespace qlx::updater::testing {
namespace {

// All or nothing: a script that fails puts back every file it replaced, and
// a journal left by a killed updater is undone at the next start.
TEST(InstallJournal, FailedScriptsAndInterruptedInstallsLeaveTheOldFiles) {
    {
        EngineRig rig(std::string(kServer) + "executescript=f.script -BreakScriptIfFail=yes");
        auto& files = rig.platform.files;
        files["C:\\prog\\f.script"] = "copy a.new C:\\app\\a.dll\r\ncopy b.new C:\\app\\b.dll\r\n"
                                      "copy gone C:\\app\\c.dll\r\n";
        files["C:\\prog\\a.new"] = "A2";
        files["C:\\prog\\b.new"] = "B2";
        files["C:\\app\\a.dll"] = "A1";
        UpdateEngine engine(rig.platform, rig.windows, rig.log);
        EXPECT_EQ(engine.RunSession(), kScriptFailed);
        EXPECT_EQ(files["C:\\app\\a.dll"], "A1");
        EXPECT_FALSE(files.count("C:\\app\\b.dll"));
        for (const auto& [path, content] : files) {
            EXPECT_FALSE(path.ends_with(".qlxold") || path.ends_with(".qlxnew") ||
                         path.ends_with(kJournalFile))
                << path;
        }
        EXPECT_TRUE(rig.log.Has("Update not completed: 2 replaced files restored."));
    }
    {
        // Killed after a.dll and b.dll were replaced, c.dll half-way.
        EngineRig rig(std::string(kServer) + "check");
        auto& files = rig.platform.files;
        files["C:\\prog\\update.journal"] = FormatJournal(
            {{"C:\\app\\a.dll", true}, {"C:\\app\\b.dll", false}, {"C:\\app\\c.dll", true}});
        files["C:\\app\\a.dll"] = "A2";
        files["C:\\app\\a.dll.qlxold"] = "A1";
        files["C:\\app\\b.dll"] = "B2";
        files["C:\\app\\c.dll"] = "C1";
        files["C:\\app\\c.dll.qlxnew"] = "C2 half";
        UpdateEngine engine(rig.platform, rig.windows, rig.log);
        engine.RunSession();
        EXPECT_EQ(files["C:\\app\\a.dll"], "A1");
        EXPECT_FALSE(files.count("C:\\app\\b.dll"));
        EXPECT_EQ(files["C:\\app\\c.dll"], "C1");
        EXPECT_FALSE(files.count("C:\\app\\c.dll.qlxnew"));
        EXPECT_FALSE(files.count("C:\\prog\\update.journal"));
        EXPECT_TRUE(rig.log.Has("An interrupted update was undone: 3 files restored."));
    }
    EXPECT_EQ(ParseJournal("old|C:\\a\r\nbad\r\nnew|C:\\b\n"),
              (std::vector<JournalEntry>{{"C:\\a", true}, {"C:\\b", false}}));
}

} // namespace
} // namespace qlx::updater::testing

namespace qlx::updater::testing {
namespace {

// SessionTimeout bounds the script's waits and the reading of a server.
TEST(Session, SessionTimeoutEndsWaitsAndSlowServers) {
    {
        EngineRig rig(std::string(kServer) +
                      "executescript=w.script -SessionTimeout=3 -BreakScriptIfFail=yes");
        rig.platform.files["C:\\prog\\w.script"] = "exec hang.exe wait\r\n";
        rig.platform.processWaits = 1 << 30;
        UpdateEngine engine(rig.platform, rig.windows, rig.log);
        EXPECT_EQ(engine.RunSession(), kScriptFailed);
        EXPECT_TRUE(rig.log.Has("Warning: the session ran out of time waiting for application: "
                                "\"C:\\prog\\hang.exe\" "));
        EXPECT_LE(rig.platform.clock, 1000u + 3000u + 500u);
    }
    {
        EngineRig rig(std::string(kServer) + "check -SessionTimeout=1");
        rig.platform.servers["http://s/u"].body = std::string(60000, ' ') + "\r\nReturnCode: 0\r\n";
        rig.platform.msPerRead = 2000;
        UpdateEngine engine(rig.platform, rig.windows, rig.log);
        EXPECT_EQ(engine.RunSession(), kGeneralFailure);
        EXPECT_TRUE(
            rig.log.Has("Fatal error: the session ran out of time (SessionTimeout 1 s). Exiting."));
    }
    {
        EngineRig rig(std::string(kServer) + "check -SessionTimeout=soon");
        rig.platform.servers["http://s/u"].body = "ReturnCode: 1\r\n";
        UpdateEngine engine(rig.platform, rig.windows, rig.log);
        EXPECT_EQ(engine.RunSession(), kNothingToUpdate);
        EXPECT_TRUE(
            rig.log.Has("Warning: incorrect value for SessionTimeout option, defaulting to 1800."));
    }
}

} // namespace
} // namespace qlx::updater::testing
