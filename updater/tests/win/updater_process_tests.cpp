// update.exe as a separate process under Wine: its exit codes (read signed,
// inside Wine), its log, its single instance, cancellation, and the scripts
// of "executescript" against the real system.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "updater/tests/win/updater_sandbox.h"

namespace qlx::updater::testing {
namespace {

using qlx::testing::ChildProcess;
using qlx::testing::WaitUntil;

const char* const kServer = "-Server=http://127.0.0.1:9/update ";
const char* const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Unique(const char* name) {
    return std::string(name) + std::to_string(::GetCurrentProcessId());
}

bool EventExists(const std::string& name) {
    return UniqueHandle(::OpenEventA(SYNCHRONIZE, FALSE, name.c_str())).get() != nullptr;
}

struct ExitCase {
    std::vector<std::pair<std::string, std::string>> files;
    std::string arguments;
    int32_t code;
    std::vector<std::string> logLines;
};

TEST(UpdaterProcess, ExitCodesAndOptionsFromEverySource) {
    const ExitCase cases[] = {
        {{},
         std::string(kServer) + "-ProductVersion=1.2.3.4",
         -3,
         {"ERROR: Invalid request type: -1.", "Engine is exiting with return code of -3."}},
        {{}, "check -ProductVersion=1.2.3.4", -1, {"Fatal error: no update servers specified."}},
        {{}, std::string(kServer) + "check -ProductVersion=1.2.3", -5, {}},
        {{{"version.dat", "1.2.3.4  \t\r\n\r\n"}},
         std::string(kServer) + "-ProductVersion=@version.dat " +
             "-ProductName=#HKLM\\Software\\QuellixAbsent\\AppName check",
         -11,
         {"Warning: couldn't read #HKLM\\Software\\QuellixAbsent\\AppName from registry: "
          "Can't open registry key.",
          "Sending request:  "
          "http://127.0.0.1:9/update?proto=3&v=1.2.3.4&platform=nt&os_version=6.1."
          "7601.1.0",
          "Error: failed to open URL. See updater's error code for details."}},
        {{{"updater.dat", "[general]\r\nProductVersion=5.5.5.5\r\n"},
          {"more.dat", "[General]\r\nServer = 'http://127.0.0.1:9/second'\r\n"}},
         // The program folder's updater.dat sets the version (v=5.5.5.5).
         std::string(kServer) + "-ProductVersion=1.1.1.1 \"@more.dat\" check",
         -11,
         {"Processing variables file: more.dat",
          "Sending request:  "
          "http://127.0.0.1:9/update?proto=3&v=5.5.5.5&platform=nt&os_version=6.1."
          "7601.1.0",
          "Sending request:  "
          "http://127.0.0.1:9/second?proto=3&v=5.5.5.5&platform=nt&os_version=6.1."
          "7601.1.0"}},
    };
    for (const auto& c : cases) {
        UpdaterSandbox box;
        for (const auto& [name, content] : c.files) {
            box.Write(name, content);
        }
        // A referenced file is made writable and visible before it is read.
        const std::string reference = box.Dir() + "version.dat";
        const DWORD hidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        const bool referenced = ::SetFileAttributesA(reference.c_str(), hidden);
        EXPECT_EQ(box.Run(c.arguments), c.code) << c.arguments;
        if (referenced) {
            EXPECT_EQ(::GetFileAttributesA(reference.c_str()) & hidden, 0u);
        }
        const auto log = box.LogMessages();
        for (const std::string& line : c.logLines) {
            EXPECT_TRUE(Contains(log, line)) << c.arguments << "\n  missing: " << line;
        }
    }
}

TEST(UpdaterProcess, LogLinesWordForWordAndTheSizeRule) {
    UpdaterSandbox box;
    const std::string arguments =
        std::string(kServer) + "-ProductVersion=1.2.3.4 -Appearance=Stealth ok";
    ASSERT_EQ(box.Run(arguments), -3);
    const std::vector<std::string> expected = {
        "*******     Updater engine started     *******",
        "   ",
        "Command line is:",
        "\"" + box.Dir() + "update.exe\" " + arguments,
        "Engine thread was started.",
        "Warning: unknown verb: ok, ignored.",
        "Warning: variables file not found: " + box.Dir() + "updater.dat",
        "ERROR: Invalid request type: -1.",
        "Engine is exiting with return code of -3.",
        "*******     Updater engine finished     *******",
        "    ",
    };
    EXPECT_EQ(box.LogMessages(), expected);

    // Over the limit the log starts afresh; at or under it, it grows.
    for (size_t size : {100001u, 100000u, 99999u}) {
        const std::string old(size - 2, 'x');
        box.Write("update.log", old + "\r\n");
        ASSERT_EQ(box.Run(arguments), -3);
        auto messages = box.LogMessages();
        const bool kept = size <= 100000;
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front() == old, kept) << size;
        if (kept) {
            messages.erase(messages.begin());
        }
        EXPECT_EQ(messages, expected) << size;
    }
}

TEST(UpdaterProcess, SecondInstanceOfAProductEndsWithMinus18AndStaysOutOfTheLog) {
    UpdaterSandbox box;
    const std::string release = Unique("UpdaterTestRelease");
    box.Write("hold.script", "waitforevent " + release + "\r\n");
    UniqueHandle releaseEvent(::CreateEventA(nullptr, TRUE, FALSE, release.c_str()));
    const std::string product = Unique("QuellixTest");
    ChildProcess first;
    ASSERT_TRUE(box.Start(first, std::string(kServer) + "-ProductVersion=1.2.3.4 -ProductName=" +
                                     product + " executescript=hold.script"));
    ASSERT_TRUE(WaitUntil([&] { return EventExists(product + "Updater"); }, 20000));
    // Its user-interface thread holds the hidden main frame meanwhile.
    HWND frame = ::FindWindowA("KTUpdaterMainFrame", "KTUpdater");
    ASSERT_NE(frame, nullptr);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(frame, &owner);
    EXPECT_EQ(owner, first.Id());
    EXPECT_FALSE(::IsWindowVisible(frame));

    EXPECT_EQ(box.Run(std::string(kServer) + "-ProductVersion=1.2.3.4 -ProductName=" + product +
                      " -Appearance=Stealth update"),
              -18);
    ::SetEvent(releaseEvent.get());
    DWORD code = 0;
    ASSERT_TRUE(first.WaitForExit(20000, &code));
    EXPECT_EQ(static_cast<int32_t>(code), 21);
    // The first updater held the log for the whole session: the second one's
    // lines were dropped, and the first one's are whole.
    const auto log = box.LogMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Engine thread was started."), 1);
    EXPECT_TRUE(Contains(log, "Engine is exiting with return code of 21."));
}

TEST(UpdaterProcess, TerminationEventCancelsAWaitingScript) {
    UpdaterSandbox box;
    const std::string never = Unique("UpdaterTestNever");
    box.Write("wait.script", "waitforevent " + never + "\r\ndelete marker.txt\r\n");
    box.Write("marker.txt", "m");
    const std::string product = Unique("QuellixCancel");
    ChildProcess updater;
    ASSERT_TRUE(box.Start(updater, std::string(kServer) + "-ProductVersion=1.2.3.4 -ProductName=" +
                                       product + " executescript=wait.script"));
    ASSERT_TRUE(WaitUntil([&] { return EventExists(product + "Updater"); }, 20000));
    ::Sleep(600); // into the second try to open the event
    EXPECT_EQ(CancelAndWait(updater), 26);
    EXPECT_TRUE(box.Exists("marker.txt"));
    const auto log = box.LogMessages();
    const bool cancelLine = std::any_of(log.begin(), log.end(), [&](const std::string& line) {
        return line.starts_with("Warning: canceled by user after ") &&
               line.ends_with(" seconds of opening event: " + never);
    });
    EXPECT_TRUE(cancelLine);
    EXPECT_TRUE(Contains(log, "Engine is exiting with return code of 26."));
}

// The RunOnce values whose command line names `program`; removed as read.
std::vector<std::string> TakeRunOnce(const std::string& program) {
    std::vector<std::string> found;
    UniqueHKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunOnce, 0, KEY_ALL_ACCESS, key.put()) != 0) {
        return found;
    }
    std::vector<std::string> names;
    char name[256];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
        if (::RegEnumValueA(key.get(), i, name, &nameSize, nullptr, &type, data, &dataSize) != 0) {
            break;
        }
        data[dataSize] = 0;
        const std::string text(reinterpret_cast<char*>(data));
        if (type == REG_SZ && text.find(program) != std::string::npos) {
            found.push_back(text);
            names.push_back(name);
        }
    }
    for (const std::string& n : names) {
        ::RegDeleteValueA(key.get(), n.c_str());
    }
    return found;
}

TEST(UpdaterProcess, ScriptsCopyExecDeleteAndSignal) {
    UpdaterSandbox box;
    const std::string ready = Unique("UpdaterTestReady");
    const std::string go = Unique("UpdaterTestGo");
    UniqueHandle readyEvent(::CreateEventA(nullptr, TRUE, FALSE, ready.c_str()));
    UniqueHandle goEvent(::CreateEventA(nullptr, TRUE, TRUE, go.c_str()));
    box.Write("new.txt", "new content");
    box.Write("target.txt", "old");
    box.Write("run.script", "; installs one file, runs the shell twice, and meets the test\r\n"
                            "[Variables]\r\nShell=%CSIDL_SYSTEM%\\cmd.exe\r\n"
                            "copy new.txt target.txt rebootnone\r\n"
                            "exec %Shell% /c copy target.txt waited.txt wait\r\n"
                            "exec %Shell% /c copy target.txt later.txt\r\n"
                            "delete missing.txt\r\n"
                            "setevent " +
                                ready +
                                "\r\n"
                                "waitforevent " +
                                go +
                                "\r\n"
                                "setevent " +
                                go + " reset\r\n");
    EXPECT_EQ(box.Run(std::string(kServer) + "-ProductVersion=1.2.3.4 -BreakScriptIfFail=yes "
                                             "executescript=run.script"),
              21);
    EXPECT_EQ(box.Read("target.txt"), "new content");
    EXPECT_EQ(box.Read("waited.txt").substr(0, 11), "new content");
    EXPECT_TRUE(WaitUntil([&] { return box.Exists("later.txt"); }, 10000));
    EXPECT_EQ(::WaitForSingleObject(readyEvent.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(::WaitForSingleObject(goEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(Contains(box.LogMessages(), "Script warning: file not deleted : " + box.Dir() +
                                                "missing.txt, error: 2"));
    EXPECT_TRUE(TakeRunOnce(box.Dir()).empty());
}

TEST(UpdaterProcess, ExecAfterRebootAlwaysGoesToRunOnce) {
    UpdaterSandbox box;
    box.Write("a.txt", "a");
    box.Write("later.script", "copy a.txt b.txt rebootalways\r\nexec setup.exe /q wait\r\n");
    EXPECT_EQ(box.Run(std::string(kServer) + "-ProductVersion=1.2.3.4 executescript=later.script"),
              21);
    EXPECT_EQ(box.Read("b.txt"), "a");
    EXPECT_EQ(TakeRunOnce(box.Dir()),
              std::vector<std::string>{"\"" + box.Dir() + "setup.exe\" /q "});
}

TEST(UpdaterProcess, BreakScriptIfFailStopsAtTheFirstFailure) {
    for (const bool breakIfFail : {true, false}) {
        UpdaterSandbox box;
        box.Write("marker.txt", "m");
        box.Write("fail.script", "copy absent.txt x.txt\r\ndelete marker.txt\r\n");
        EXPECT_EQ(box.Run(std::string(kServer) +
                          "-ProductVersion=1.2.3.4 executescript=fail.script" +
                          (breakIfFail ? " -BreakScriptIfFail=YES" : "")),
                  breakIfFail ? -2 : 21);
        EXPECT_EQ(box.Exists("marker.txt"), breakIfFail);
        const auto log = box.LogMessages();
        EXPECT_TRUE(Contains(log, "Script error: file is missing : " + box.Dir() +
                                      "absent.txt, line: copy absent.txt x.txt"));
        EXPECT_EQ(Contains(log, "Script failed. Terminating script execution."), breakIfFail);
    }
}

} // namespace
} // namespace qlx::updater::testing
