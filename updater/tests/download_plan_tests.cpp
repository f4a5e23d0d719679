#include <gtest/gtest.h>

#include "updater/core/download_plan.h"

namespace qlx::updater {
namespace {

TEST(DownloadPlanTest, WorkingDirectory) {
    for (uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu}) {
        const std::string name = WorkingDirectoryName(seed);
        ASSERT_EQ(name.size(), 8u);
        for (char c : name) {
            EXPECT_TRUE(c >= 'a' && c <= 'z') << name;
        }
    }
    EXPECT_NE(WorkingDirectoryName(1), WorkingDirectoryName(2));
    EXPECT_EQ(WorkingBase("D:\\Temp", "C:\\Program Files\\Q\\"), "D:\\Temp\\");
    EXPECT_EQ(WorkingBase("D:\\Temp\\", "C:\\Q\\"), "D:\\Temp\\");
    EXPECT_EQ(WorkingBase("Updates", "C:\\Q\\"), "C:\\Q\\"); // no drive: ignored
    EXPECT_EQ(WorkingBase("", "C:\\Q"), "C:\\Q\\");
    EXPECT_EQ(LookupPath("  C:\\old ", "a.dll"), "C:\\old\\a.dll");
    EXPECT_EQ(LookupPath("C:\\old\\", "a.dll"), "C:\\old\\a.dll");
}

TEST(DownloadPlanTest, ProgressIsTruncatedAndBounded) {
    EXPECT_EQ(Percent(0, 100), 0);
    EXPECT_EQ(Percent(999, 1000), 99);
    EXPECT_EQ(Percent(1000, 1000), 100);
    EXPECT_EQ(Percent(5000, 1000),
              100); // a server that sent more than it announced
    EXPECT_EQ(Percent(10, 0), 0);
    EXPECT_EQ(Percent(3000000000u, 4000000000u), 75); // past 32 bits
    EXPECT_EQ(Percent((uint64_t{1} << 40) - 1, uint64_t{1} << 40), 99);
}

TEST(DownloadPlanTest, FileNamesStayInTheWorkingDirectoryAndAreNoDevices) {
    const std::pair<const char*, bool> cases[] = {
        {"a.dll", true},       {"sub\\b.dll", true},    {"x/y.txt", true},
        {"cond.d", true},      {"console.txt", true},   {"COM10", true},
        {"", false},           {"..\\evil.dll", false}, {"a\\..\\..\\b", false},
        {"\\root.dll", false}, {"/etc", false},         {"C:\\w.dll", false},
        {"C:w.dll", false},    {"a.dll:stream", false}, {"...", false},
        {"a\\.. \\b", false},  {"trail.", false},       {"NUL", false},
        {"con.txt", false},    {"sub\\Aux.dll", false}, {"com1", false},
        {"LPT9.x", false},     {"CONOUT$", false},      {"a\\\\b", false},
        {"w*.dll", false},     {"a\tb", false},
    };
    for (const auto& [name, safe] : cases) {
        EXPECT_EQ(IsSafeFileName(name), safe) << name;
    }
}

TEST(DownloadPlanTest, ExplicitPortComesFromTheAuthorityOnly) {
    const std::pair<const char*, std::optional<uint16_t>> cases[] = {
        {"http://h/u", std::nullopt},
        {"http://h:8080/u", 8080},
        {"https://user:pw@h/u", std::nullopt},
        {"https://user:pw@h:444/u", 444},
        {"http://[::1]/u", std::nullopt},
        {"http://[::1]:8080/u", 8080},
        {"http://h/u?x=a:b", std::nullopt},
        {"http://h/a:1/b", std::nullopt},
        {"http://h:99999/u", 0},
        {"http://h:x/u", 0},
        {"http://h:/u", 0},
        {"http://h:65535", 65535},
    };
    for (const auto& [address, port] : cases) {
        EXPECT_EQ(ExplicitPort(address), port) << address;
    }
}

} // namespace
} // namespace qlx::updater
