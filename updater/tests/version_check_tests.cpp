#include <gtest/gtest.h>

#include "updater/core/version_check.h"

namespace qlx::updater {
namespace {

TEST(VersionCheckTest, VersionTexts) {
    const struct {
        const char* text;
        std::optional<Version> version;
    } cases[] = {
        {"1.2.3.4", Version{1, 2, 3, 4}},
        {"7.1.2.3.4", Version{1, 2, 3, 4}},
        {" 2.0.10.300\r\n", Version{2, 0, 10, 300}},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5.6", std::nullopt},
        {"1.2..4", std::nullopt},
        {"1.2.3.", std::nullopt},
        {"1.x.3.4", std::nullopt},
        {"1.2.3.-4", std::nullopt},
        {"1.2.3.99999999999", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseVersionText(c.text), c.version) << c.text;
    }
    EXPECT_EQ(FormatVersion({1, 2, 3, 4}), "1.2.3.4");
}

TEST(VersionCheckTest, DownloadedVersionMustBeTheServersAndNewer) {
    const Version o{1, 2, 3, 4}, s{1, 2, 3, 5};
    const struct {
        std::optional<Version> o, s, d;
        bool passes;
    } cases[] = {
        {o, s, s, true},
        {o, s, Version{1, 2, 3, 6}, false}, // not what the server named
        {o, o, o, false},                   // not newer
        {s, o, o, false},                   // older
        {o, Version{2, 0, 0, 0}, Version{2, 0, 0, 0}, true},
        {o, Version{1, 3, 0, 0}, Version{1, 3, 0, 0}, true},
        {std::nullopt, s, Version{9, 9, 9, 9}, true}, // unreadable: the check is skipped
        {o, s, std::nullopt, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VersionCheckPasses(c.o, c.s, c.d), c.passes);
    }
    EXPECT_TRUE(IsVersionFile("C:\\w\\abcdefgh\\pv.dat", "pv.dat"));
    EXPECT_TRUE(IsVersionFile("pv.dat", "pv.dat"));
    EXPECT_FALSE(IsVersionFile("C:\\w\\PV.DAT", "pv.dat"));
    EXPECT_FALSE(IsVersionFile("C:\\w\\pv.dat", ""));
    EXPECT_FALSE(IsVersionFile("v.dat", "pv.dat"));
}

} // namespace
} // namespace qlx::updater
