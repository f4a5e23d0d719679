// The tray program's update launch under Wine, against a stand-in
// "update.exe" that records its command line and exits with a chosen code:
// the exact command line, one run for two quick Update commands, the
// reports by exit code, the missing updater, and the schedule of
// "Program.upd" (its default, and a "Once" task that starts an invisible run).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/win32/win32_registry.h"
#include "tray/core/update_schedule.h"
#include "tray/tests/win/qlx_driver.h"

namespace qlx::tray::testing {
namespace {

using qlx::testing::BinDir;
using qlx::testing::ChildProcess;
using qlx::testing::WaitUntil;

constexpr WPARAM kUpdateCommand = 0x8008;
constexpr int kTipText = 1068;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

SystemTime LocalIn(int seconds) {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return AddSeconds({t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, 0},
                      seconds);
}

class TrayUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetUserState();
        ::CreateDirectoryA(dir_.c_str(), nullptr);
        for (const char* name :
             {"standin.log", "standin.code", "standin.sleep", "standin.version", "Program.upd"}) {
            ::DeleteFileA((dir_ + name).c_str());
        }
        ASSERT_TRUE(::CopyFileA((BinDir() + "QLX.exe").c_str(), (dir_ + "QLX.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileA((BinDir() + "update_standin.exe").c_str(),
                                (dir_ + "update.exe").c_str(), FALSE));
        Write(dir_ + "version.dat", "1.0.0.1 build\r\n");
    }
    void TearDown() override {
        if (tray_.Running()) {
            EXPECT_TRUE(ExitTray(tray_));
        }
        KillProcesses("update.exe");
    }

    void StartWith(bool updateOnStartup) {
        Win32Registry registry;
        registry.SetValue(RegRoot::CurrentUser, "Software\\Quellix\\Options", "UpdateOnStartup",
                          RegData::Dword(updateOnStartup ? 1 : 0));
        ASSERT_TRUE(StartTray(tray_, dir_ + "QLX.exe", dir_));
    }
    std::vector<std::string> Runs() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadAll(dir_ + "standin.log"));
        for (std::string line; std::getline(in, line);) {
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }
    bool WaitForRuns(size_t count, DWORD ms = 15000) const {
        return WaitUntil([&] { return Runs().size() >= count; }, ms, 50);
    }
    void Update() {
        ASSERT_TRUE(::PostMessageA(FindMainWindow(tray_.Id()), WM_COMMAND, kUpdateCommand, 0));
    }
    bool WaitForTip(const std::string& text, DWORD ms) const {
        return WaitUntil(
            [&] {
                for (HWND tip : FindTips(tray_.Id())) {
                    if (ControlText(tip, kTipText) == text) {
                        return true;
                    }
                }
                return false;
            },
            ms, 50);
    }

    const std::string dir_ = BinDir() + "update_launch\\";
    ChildProcess tray_;
};

TEST_F(TrayUpdateTest, TwoQuickCommandsRunOnceWithTheExactCommandLine) {
    Write(dir_ + "standin.sleep", "1500");
    StartWith(false);
    // The default schedule file beside the working directory.
    const auto record = ParseSchedule(ReadAll(dir_ + "Program.upd"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->type, kOnIdle);
    EXPECT_EQ(record->minutes, 5);

    Update();
    Update();
    ASSERT_TRUE(WaitForRuns(1));
    ASSERT_TRUE(WaitForTip("Quellix is up-to-date", 10000));
    ::Sleep(1000);
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    const std::string folder = dir_.substr(0, dir_.size() - 1);
    EXPECT_TRUE(
        runs[0].ends_with("update.exe\" update -ProductVersion=@version.dat -Server=@server.dat "
                          "-ProductName=\"#HKLM\\Software\\Quellix\\AppName\" "
                          "-ProductAbbreviation=\"#HKLM\\Software\\Quellix\\AppShortName\" "
                          "-VersionFile=version.dat -AppDir=\"" +
                          folder + "\""))
        << runs[0];
}

TEST_F(TrayUpdateTest, ReportsByExitCodeAndTheMissingUpdater) {
    StartWith(false);
    struct Case {
        const char* code;
        const char* tip; // null: none
    };
    const Case cases[] = {
        {"26", nullptr},
        {"-18", nullptr},
        {"24", "Quellix is up-to-date"},
        {"21", "Quellix was updated to version  1.0.0.2"},
    };
    size_t runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        Write(dir_ + "standin.code", c.code);
        Write(dir_ + "standin.version", "1.0.0.2");
        Update();
        ASSERT_TRUE(WaitForRuns(++runs));
        if (c.tip) {
            EXPECT_TRUE(WaitForTip(c.tip, 10000));
        } else {
            ::Sleep(1000);
            EXPECT_TRUE(FindTips(tray_.Id()).empty());
        }
    }

    ::DeleteFileA((dir_ + "update.exe").c_str());
    Update();
    HWND box = nullptr;
    ASSERT_TRUE(WaitForMessageBox(tray_.Id(), 10000, &box));
    EXPECT_NE(ChildTexts(box).find("File update.exe is absent or corrupted."), std::string::npos)
        << ChildTexts(box);
    EXPECT_TRUE(PressButton(box, IDOK));
}

TEST_F(TrayUpdateTest, OnceScheduleStartsAnInvisibleRunOnlyWithUpdateOnStartup) {
    for (bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        ::DeleteFileA((dir_ + "standin.log").c_str());
        ScheduleRecord once = DefaultTask(0, LocalIn(0));
        once.type = kOnce;
        // Due a few seconds after the start, even on a slow start.
        once.once = once.nextRun = LocalIn(5);
        Write(dir_ + "Program.upd", SerializeSchedule(once));
        StartWith(enabled);
        EXPECT_EQ(WaitForRuns(1, enabled ? 15000 : 8000), enabled);
        if (enabled) {
            EXPECT_TRUE(Runs()[0].ends_with(" -Appearance=Invisible")) << Runs()[0];
        }
        ASSERT_TRUE(ExitTray(tray_));
    }
}

} // namespace
} // namespace qlx::tray::testing
