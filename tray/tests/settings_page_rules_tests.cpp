#include <gtest/gtest.h>

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

} // namespace
} // namespace qlx::tray
