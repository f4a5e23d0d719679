#include <gtest/gtest.h>

#include "tray/core/command_line.h"
#include "tray/core/os_version.h"
#include "tray/core/system_integration.h"
#include "tray/core/text_fill.h"

namespace qlx::tray {
namespace {

TEST(CommandLineTest, RecognisesTheServerSwitchesInTheirUsualForms) {
    EXPECT_EQ(ParseCommandLine(""), StartMode::Normal);
    EXPECT_EQ(ParseCommandLine("hello world"), StartMode::Normal);
    EXPECT_EQ(ParseCommandLine("/Embedding"), StartMode::ComServer);
    EXPECT_EQ(ParseCommandLine("-Embedding"), StartMode::ComServer);
    EXPECT_EQ(ParseCommandLine("  -EMBEDDING  "), StartMode::ComServer);
    EXPECT_EQ(ParseCommandLine("/automation"), StartMode::ComServer);
    EXPECT_EQ(ParseCommandLine("/RegServer"), StartMode::Register);
    EXPECT_EQ(ParseCommandLine("-regserver"), StartMode::Register);
    EXPECT_EQ(ParseCommandLine("/Register"), StartMode::Register);
    EXPECT_EQ(ParseCommandLine("/UnregServer"), StartMode::Unregister);
    EXPECT_EQ(ParseCommandLine("-UNREGISTER"), StartMode::Unregister);
    EXPECT_EQ(ParseCommandLine("\"/Embedding\""), StartMode::ComServer);
    // Near misses are not switches.
    EXPECT_EQ(ParseCommandLine("Embedding"), StartMode::Normal);
    EXPECT_EQ(ParseCommandLine("/Embed"), StartMode::Normal);
    EXPECT_EQ(ParseCommandLine("/RegServer2"), StartMode::Normal);
    EXPECT_EQ(ParseCommandLine("/"), StartMode::Normal);
    EXPECT_EQ(ParseCommandLine("\"C:\\dir with space\\x\""), StartMode::Normal);
}

TEST(BrowserPopupManagerTest, PresentOnlyOnXpWithServicePackTwoOrLater) {
    auto xp = [](std::string sp) {
        OsVersion v;
        v.major = 5;
        v.minor = 1;
        v.platform = OsPlatform::WindowsNt;
        v.servicePack = std::move(sp);
        return v;
    };
    EXPECT_TRUE(IsBrowserPopupManagerPresent(xp("Service Pack 2")));
    EXPECT_TRUE(IsBrowserPopupManagerPresent(xp("Service Pack 3")));
    EXPECT_TRUE(IsBrowserPopupManagerPresent(xp("Service Pack 9")));
    EXPECT_FALSE(IsBrowserPopupManagerPresent(xp("Service Pack 1")));
    EXPECT_FALSE(IsBrowserPopupManagerPresent(xp("")));
    OsVersion seven{6, 1, 7601, OsPlatform::WindowsNt, "Service Pack 2"};
    EXPECT_FALSE(IsBrowserPopupManagerPresent(seven));
    OsVersion xp64{5, 2, 3790, OsPlatform::WindowsNt, "Service Pack 2"};
    EXPECT_FALSE(IsBrowserPopupManagerPresent(xp64));
    EXPECT_FALSE(IsBrowserPopupManagerPresent(OsVersion{})); // unreadable: 9x family
}

TEST(BrowserPopupManagerTest, DisablingWritesThreeValuesOnlyIntoAnExistingKey) {
    MemoryRegistry reg;
    DisableBrowserPopupManager(reg);
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, kBrowserNewWindowsPath));

    reg.CreateKey(RegRoot::CurrentUser, kBrowserNewWindowsPath);
    reg.SetValue(RegRoot::CurrentUser, kBrowserNewWindowsPath, "PopupMgr", RegData::String("yes"));
    DisableBrowserPopupManager(reg);
    for (const char* name : {"FirstTime", "BlockUserInit", "PopupMgr"}) {
        EXPECT_EQ(reg.GetValue(RegRoot::CurrentUser, kBrowserNewWindowsPath, name),
                  RegData::String("no"))
            << name;
    }
}

TEST(StringTableTextTest, FillsThePlaceholderAndReadsTheVersionWord) {
    EXPECT_EQ(FillPlaceholder("File %s is absent", "version.dat"), "File version.dat is absent");
    EXPECT_EQ(FillPlaceholder("Version: %s", ""), "Version: ");
    EXPECT_EQ(FillPlaceholder("no placeholder", "x"), "no placeholder");
    // Only the first "%s" is filled; other percent signs are text, not formats.
    EXPECT_EQ(FillPlaceholder("%d %s %s %n", "v"), "%d v %s %n");

    EXPECT_EQ(FirstWord("1.2.3\r\n"), "1.2.3");
    EXPECT_EQ(FirstWord("  \t2.0 build 7\n"), "2.0");
    EXPECT_EQ(FirstWord(""), "");
    EXPECT_EQ(FirstWord(" \r\n "), "");
}

} // namespace
} // namespace qlx::tray
