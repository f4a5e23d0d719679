#include <gtest/gtest.h>

#include <filesystem>

#include "tray/tests/fake_clock.h"
#include "tray/core/file_store.h"
#include "tray/core/settings.h"
#include "tray/core/system_integration.h"

namespace qlx::tray {
namespace {

using testing::FakeClock;

// Records the order of writes so the saving order can be checked.
class RecordingRegistry final : public Registry {
public:
    MemoryRegistry inner;
    std::vector<std::string> written;
    bool failLocalMachine = false;

    bool CreateKey(RegRoot root, std::string_view path) override {
        return !(failLocalMachine && root == RegRoot::LocalMachine) && inner.CreateKey(root, path);
    }
    bool KeyExists(RegRoot root, std::string_view path) const override {
        return inner.KeyExists(root, path);
    }
    bool DeleteTree(RegRoot root, std::string_view path) override {
        return inner.DeleteTree(root, path);
    }
    bool SetValue(RegRoot root, std::string_view path, std::string_view name,
                  const RegData& data) override {
        if (failLocalMachine && root == RegRoot::LocalMachine) {
            return false;
        }
        written.emplace_back(name);
        return inner.SetValue(root, path, name, data);
    }
    std::optional<RegData> GetValue(RegRoot root, std::string_view path,
                                    std::string_view name) const override {
        return inner.GetValue(root, path, name);
    }
    bool DeleteValue(RegRoot root, std::string_view path, std::string_view name) override {
        return inner.DeleteValue(root, path, name);
    }
    bool IsKeyEmpty(RegRoot root, std::string_view path) const override {
        return inner.IsKeyEmpty(root, path);
    }
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("qlx_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        place.programFolder = "C:\\Program Files\\Quellix\\";
        place.programFileName = "QLX.exe";
        place.dataFolder = dir.string();
        place.historyFile = (dir / "history.lst").string();
        settings.Construct(defaults);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void SetOption(std::string_view name, const RegData& data) {
        registry.inner.CreateKey(RegRoot::CurrentUser, kOptionsKeyPath);
        registry.inner.SetValue(RegRoot::CurrentUser, kOptionsKeyPath, name, data);
    }
    std::optional<RegData> Option(std::string_view name) const {
        return registry.inner.GetValue(RegRoot::CurrentUser, kOptionsKeyPath, name);
    }
    void OpenAndLoad(CSettings& s) {
        ASSERT_TRUE(s.Open(registry, RegRoot::CurrentUser, kOptionsKeyPath));
        s.Load(defaults, place, files);
    }

    std::filesystem::path dir;
    SettingsPlace place;
    RecordingRegistry registry;
    StdFileStore files;
    CSettings defaults = CSettings::FactoryDefaults("C:\\Windows\\Media\\ding.wav");
    CSettings settings;
};

TEST_F(SettingsTest, EmptyRegistryLoadsFactoryValues) {
    OpenAndLoad(settings);
    EXPECT_TRUE(settings.BlockPopup);
    EXPECT_TRUE(settings.StartWithStartup);
    EXPECT_EQ(settings.ShowToolTip_Time, 5u);
    EXPECT_EQ(settings.AllowButtonNumber, 3u);
    EXPECT_FALSE(settings.AllowRequestedPopup);
    EXPECT_EQ(settings.BlockDomain_Count, 2u);
    EXPECT_EQ(settings.StartBlocking_Count, 2u);
    EXPECT_EQ(settings.SoundFileName, "C:\\Windows\\Media\\ding.wav");
    EXPECT_EQ(settings.minibar_dx, 352u);
    EXPECT_EQ(settings.minibar_dy, 0u);
    EXPECT_EQ(settings.today_time, "");
    EXPECT_TRUE(settings.history.empty());
    EXPECT_FALSE(settings.IsReady());
}

TEST_F(SettingsTest, ValueTypeRules) {
    SetOption("BlockPopup", RegData::String("0"));    // a string is not a flag
    SetOption("ShowToolTip_Time", RegData::Dword(0)); // zero is a value
    SetOption("BlinkTrayIcon", RegData::Dword(7));    // any non-zero is true
    SetOption("ShowToolTip", RegData::Dword(0));
    RegData shortDword{RegType::Dword, {1, 0}};
    SetOption("AllowButtonNumber", shortDword); // not 4 bytes
    RegData binary{RegType::Binary, {0, 0, 0, 0}};
    SetOption("minibar_dx", binary);
    SetOption("minibar_dy", RegData::Dword(0xFFFFFFFFu));
    OpenAndLoad(settings);
    EXPECT_TRUE(settings.BlockPopup);
    EXPECT_EQ(settings.ShowToolTip_Time, 0u);
    EXPECT_TRUE(settings.BlinkTrayIcon);
    EXPECT_FALSE(settings.ShowToolTip);
    EXPECT_EQ(settings.AllowButtonNumber, 3u);
    EXPECT_EQ(settings.minibar_dx, 352u);
    EXPECT_EQ(settings.minibar_dy, 0xFFFFFFFFu);
}

TEST_F(SettingsTest, StringValueRules) {
    const std::string fallback = defaults.SoundFileName;
    auto loadSound = [&](const RegData& data) {
        SetOption("SoundFileName", data);
        CSettings s;
        s.Construct(defaults);
        OpenAndLoad(s);
        return s.SoundFileName;
    };
    EXPECT_EQ(loadSound(RegData::String("C:\\a.wav")), "C:\\a.wav");
    EXPECT_EQ(loadSound(RegData::String("%WINDIR%\\b.wav", RegType::ExpandString)),
              "%WINDIR%\\b.wav");
    EXPECT_EQ(loadSound(RegData::String(std::string(259, 'x'))), std::string(259, 'x'));
    EXPECT_EQ(loadSound(RegData::String(std::string(260, 'x'))), fallback);
    EXPECT_EQ(loadSound(RegData{RegType::String, {'a', 'b'}}), fallback); // no terminator
    EXPECT_EQ(loadSound(RegData{RegType::String, {}}), fallback);
    EXPECT_EQ(loadSound(RegData{RegType::Binary, {'a', 0}}), fallback);
    EXPECT_EQ(loadSound(RegData::Dword(1)), fallback);
    EXPECT_EQ(loadSound(RegData::String("")), "");
}

TEST_F(SettingsTest, SaveWritesEveryValueInOrderAndLoadReadsThemBack) {
    OpenAndLoad(settings);
    settings.BlockPopup = false;
    settings.ShowToolTip_Time = 9;
    settings.SoundFileName = "D:\\s.wav";
    settings.AllowButtonNumber = 1;
    settings.PopupBlockedTotal_Count = 42;
    settings.PopupBlockedToday_Count = 4;
    settings.today_time = "2026-12-06";
    settings.minibar_dx = 10;
    settings.minibar_dy = 20;
    settings.Save();

    std::vector<std::string> order;
    CSettings::ForEachValue([&](const char* name, auto) { order.emplace_back(name); });
    EXPECT_EQ(registry.written, order);
    EXPECT_EQ(order.front(), "StartWithStartup");
    EXPECT_EQ(order.back(), "minibar_dy");
    EXPECT_EQ(order.size(), 27u);

    EXPECT_EQ(Option("BlockPopup"), RegData::Dword(0));
    EXPECT_EQ(Option("StartWithStartup"), RegData::Dword(1));
    EXPECT_EQ(Option("today_time"), RegData::String("2026-12-06"));

    CSettings reread;
    reread.Construct(defaults);
    OpenAndLoad(reread);
    CSettings::ForEachValue([&](const char* name, auto member) {
        EXPECT_EQ(reread.*member, settings.*member) << name;
    });
}

TEST_F(SettingsTest, UnopenedKeyGivesDefaultsAndWritesNothing) {
    registry.inner.SetReadOnly(true); // the key cannot be created
    SetOption("BlockPopup", RegData::Dword(0));
    EXPECT_FALSE(settings.Open(registry, RegRoot::CurrentUser, kOptionsKeyPath));
    settings.Load(defaults, place, files);
    EXPECT_TRUE(settings.BlockPopup);
    settings.Save();
    EXPECT_TRUE(registry.written.empty());
}

TEST_F(SettingsTest, ResetToDefaultsKeepsSwitchesCountersAndDay) {
    OpenAndLoad(settings);
    settings.BlockPopup = false;
    settings.ShowMiniBar = false;
    settings.MiniBarCompact = true;
    settings.PopupBlockedTotal_Count = 8;
    settings.PopupBlockedToday_Count = 3;
    settings.today_time = "2026-12-07";
    settings.ShowToolTip_Time = 30;
    settings.AllowButtonNumber = 0;
    settings.FitPopup = false;
    settings.minibar_dx = 5;
    settings.ResetToDefaults(defaults);
    EXPECT_FALSE(settings.BlockPopup);
    EXPECT_FALSE(settings.ShowMiniBar);
    EXPECT_TRUE(settings.MiniBarCompact);
    EXPECT_EQ(settings.PopupBlockedTotal_Count, 8u);
    EXPECT_EQ(settings.PopupBlockedToday_Count, 3u);
    EXPECT_EQ(settings.today_time, "2026-12-07");
    EXPECT_EQ(settings.ShowToolTip_Time, 5u);
    EXPECT_EQ(settings.AllowButtonNumber, 3u);
    EXPECT_TRUE(settings.FitPopup);
    EXPECT_EQ(settings.minibar_dx, 352u);
}

TEST_F(SettingsTest, ConstructSetsSwitchesAndClearsReady) {
    settings.BlockPopup = false;
    settings.ShowMiniBar = false;
    settings.MiniBarCompact = true;
    settings.SetReady(true);
    settings.Construct(defaults);
    EXPECT_TRUE(settings.BlockPopup);
    EXPECT_TRUE(settings.ShowMiniBar);
    EXPECT_FALSE(settings.MiniBarCompact);
    EXPECT_FALSE(settings.IsReady());
}

TEST_F(SettingsTest, CopyFromTakesPersistedFieldsOnly) {
    OpenAndLoad(settings);
    settings.history.push_back({"t", "s", "p", 1, 2, 3, 4});
    CSettings other = CSettings::FactoryDefaults("");
    other.AddMenu = false;
    other.PopupBlockedTotal_Count = 77;
    other.today_time = "2020-01-01";
    other.minibar_dy = 99;
    other.SetReady(true);
    settings.CopyFrom(other);
    EXPECT_FALSE(settings.AddMenu);
    EXPECT_EQ(settings.PopupBlockedTotal_Count, 77u);
    EXPECT_EQ(settings.today_time, "2020-01-01");
    EXPECT_EQ(settings.minibar_dy, 99u);
    EXPECT_EQ(settings.SoundFileName, "");
    EXPECT_EQ(settings.history.size(), 1u);
    EXPECT_FALSE(settings.IsReady());
    EXPECT_EQ(settings.Place().programFileName, "QLX.exe");
}

TEST_F(SettingsTest, DayRollOverHappensOnDisplayOnly) {
    FakeClock clock;
    OpenAndLoad(settings);
    settings.today_time = "2026-12-06";
    settings.PopupBlockedToday_Count = 5;
    settings.PopupBlockedTotal_Count = 50;
    EXPECT_EQ(settings.TodayCount(clock), 0u);
    EXPECT_EQ(settings.today_time, "2026-12-07");
    EXPECT_EQ(settings.TotalCount(), 50u);
    settings.PopupBlockedToday_Count = 2;
    EXPECT_EQ(settings.TodayCount(clock), 2u);
}

TEST_F(SettingsTest, SaveOnExitWritesOnlyAfterFullStart) {
    OpenAndLoad(settings);
    settings.history.push_back({"2026-12-07 10:00:00", "", "", 1, 2, 3, 4});
    settings.SaveOnExit();
    EXPECT_TRUE(registry.written.empty());
    EXPECT_FALSE(std::filesystem::exists(place.historyFile));

    settings.SetReady(true);
    settings.SaveOnExit();
    EXPECT_EQ(Option("BlockPopup"), RegData::Dword(1));
    EXPECT_EQ(registry.inner.GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix"),
              RegData::String("\"C:\\Program Files\\Quellix\\QLX.exe\""));

    CSettings next;
    next.Construct(defaults);
    OpenAndLoad(next);
    EXPECT_EQ(next.history, settings.history);
}

// A store whose history file exists but cannot be read (locked, access
// denied, an error in the middle of the file).
class UnreadableFileStore final : public FileStore {
public:
    FileRead Read(const std::string&) const override { return {FileRead::Status::Failed, {}}; }
    bool WriteReplacing(const std::string& path, const std::string& content) override {
        return StdFileStore().WriteReplacing(path, content);
    }
};

TEST_F(SettingsTest, AHistoryThatCouldNotBeReadIsKeptAtExit) {
    const std::string damaged = "2\n1 2 3 4\ns\np\nt\n1 x 3 4\ns2\np2\nt2\n";
    for (bool unreadable : {true, false}) {
        StdFileStore().WriteReplacing(place.historyFile, damaged);
        UnreadableFileStore locked;
        CSettings s;
        s.Construct(defaults);
        ASSERT_TRUE(s.Open(registry, RegRoot::CurrentUser, kOptionsKeyPath));
        s.Load(defaults, place, unreadable ? static_cast<FileStore&>(locked) : files);
        EXPECT_EQ(s.history.size(), unreadable ? 0u : 1u);
        EXPECT_FALSE(s.IsHistoryWritable());
        s.history.push_back({"2026-12-07 10:00:00", "a", "b", 1, 2, 3, 4});
        s.PopupBlockedTotal_Count = 3;
        s.SetReady(true);
        s.SaveOnExit();
        EXPECT_EQ(StdFileStore().Read(place.historyFile).content, damaged);
        EXPECT_EQ(Option("PopupBlockedTotal_Count"), RegData::Dword(3)); // the rest is saved
    }
}

TEST(RunKeyTest, AppliesTheStartWithWindowsOption) {
    MemoryRegistry reg;
    ApplyRunKey(reg, true, "Quellix", "C:\\Q\\QLX.exe");
    EXPECT_EQ(reg.GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix"),
              RegData::String("\"C:\\Q\\QLX.exe\""));
    EXPECT_FALSE(reg.GetValue(RegRoot::CurrentUser, kRunKeyPath, "Quellix"));

    // An existing machine-wide entry is kept even when it points elsewhere.
    ApplyRunKey(reg, true, "Quellix", "D:\\Other\\QLX.exe");
    EXPECT_EQ(reg.GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix"),
              RegData::String("\"C:\\Q\\QLX.exe\""));

    reg.CreateKey(RegRoot::CurrentUser, kRunKeyPath);
    reg.SetValue(RegRoot::CurrentUser, kRunKeyPath, "Quellix", RegData::String("x"));
    ApplyRunKey(reg, false, "Quellix", "C:\\Q\\QLX.exe");
    EXPECT_FALSE(reg.GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix"));
    EXPECT_FALSE(reg.GetValue(RegRoot::CurrentUser, kRunKeyPath, "Quellix"));
    ApplyRunKey(reg, false, "Quellix", "C:\\Q\\QLX.exe"); // nothing there: no error
}

TEST(RunKeyTest, FallsBackToCurrentUserWithoutMachineRights) {
    RecordingRegistry reg;
    reg.failLocalMachine = true;
    ApplyRunKey(reg, true, "Quellix", "C:\\Q\\QLX.exe");
    EXPECT_EQ(reg.GetValue(RegRoot::CurrentUser, kRunKeyPath, "Quellix"),
              RegData::String("\"C:\\Q\\QLX.exe\""));

    // An empty machine-wide value does not count as present.
    RecordingRegistry emptyEntry;
    emptyEntry.inner.CreateKey(RegRoot::LocalMachine, kRunKeyPath);
    emptyEntry.inner.SetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix", RegData::String(""));
    ApplyRunKey(emptyEntry, true, "Quellix", "C:\\Q\\QLX.exe");
    EXPECT_EQ(emptyEntry.GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix"),
              RegData::String("\"C:\\Q\\QLX.exe\""));
}

} // namespace
} // namespace qlx::tray
