#include <gtest/gtest.h>

#include "tray/core/settings.h"
#include "tray/core/settings_page_rules.h"

namespace qlx::tray {
namespace {

TEST(SettingsPageRulesTest, TipSecondsAreClampedAndTheFieldRewritten) {
    const struct {
        const char* typed;
        uint32_t value;
        const char* rewrite;
    } cases[] = {
        {"5", 5, ""},
        {"100", 100, ""},
        {"101", 100, "100"},
        {"250", 100, "100"},
        {"-1", 0, "0"},
        {"-0", 0, ""},
        {"", 0, ""},
        {"abc", 0, ""},
        {"12abc", 12, ""},
        {"  7", 7, ""},
        {"+9", 9, ""},
        {"007", 7, ""},
        {"99999999999999999999", 100, "100"},
        {"-99999999999999999999", 0, "0"},
    };
    for (const auto& c : cases) {
        const ToolTipSeconds seconds = ReadToolTipSeconds(c.typed);
        EXPECT_EQ(seconds.value, c.value) << c.typed;
        EXPECT_EQ(seconds.rewrite, c.rewrite) << c.typed;
    }
}

TEST(SettingsPageRulesTest, OverrideKeyDropDown) {
    EXPECT_EQ(SplitKeyNames("Alt;Shift;Ctrl;"), (std::vector<std::string>{"Alt", "Shift", "Ctrl"}));
    EXPECT_EQ(SplitKeyNames("Alt;;Ctrl"), (std::vector<std::string>{"Alt", "Ctrl"}));
    EXPECT_TRUE(SplitKeyNames("").empty());

    EXPECT_EQ(KeyNumberForSelection(0, true), 1u);
    EXPECT_EQ(KeyNumberForSelection(2, true), 3u);
    EXPECT_EQ(KeyNumberForSelection(2, false), 0u); // "On sequence" unchecked: off
    EXPECT_EQ(KeyNumberForSelection(-1, true), 0u);

    EXPECT_EQ(SelectionForKeyNumber(0, 3), -1);
    EXPECT_EQ(SelectionForKeyNumber(1, 3), 0);
    EXPECT_EQ(SelectionForKeyNumber(3, 3), 2);
    EXPECT_EQ(SelectionForKeyNumber(4, 3), -1);
}

TEST(SettingsPageRulesTest, CancelRestoresTheOptionsAndKeepsWhatWasCountedMeanwhile) {
    CSettings live;
    live.ShowToolTip_Time = 9;
    live.PopupBlockedTotal_Count = 4;
    live.today_time = "2026-12-06";
    CSettings snapshot;
    snapshot.CopyFrom(live);
    live.ShowToolTip_Time = 100;
    live.AddMenu = false;
    live.minibar_dx = 10;
    live.PopupBlockedTotal_Count = 6; // blocked while the dialog was open
    live.PopupBlockedToday_Count = 2;
    live.today_time = "2026-12-07";
    RestoreSnapshot(live, snapshot);
    EXPECT_EQ(live.ShowToolTip_Time, 9u);
    EXPECT_TRUE(live.AddMenu);
    EXPECT_EQ(live.minibar_dx, 352u);
    EXPECT_EQ(live.PopupBlockedTotal_Count, 6u);
    EXPECT_EQ(live.PopupBlockedToday_Count, 2u);
    EXPECT_EQ(live.today_time, "2026-12-07");
}

} // namespace
} // namespace qlx::tray
