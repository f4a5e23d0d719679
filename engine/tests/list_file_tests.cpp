#include "engine/core/list_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "common/core/text.h"

namespace qlx::engine {
namespace {

TEST(ListFile, ReadsPrefixesLowersAndSorts) {
    const auto entries = ParseListFile("-b\r\n+A\r\n*C\r\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (ListEntry{"a", 1}));
    EXPECT_EQ(entries[1], (ListEntry{"b", 0}));
    EXPECT_EQ(entries[2], (ListEntry{"c", 0})); // any prefix but "+" is inactive
    EXPECT_EQ(FormatListFile(NameList(entries)), "+a\r\n-b\r\n-c\r\n");
}

TEST(ListFile, AShortLineEndsTheList) {
    EXPECT_EQ(ParseListFile("+a\r\n+b\r\n\r\n+c\r\n").size(), 2u);
    EXPECT_EQ(ParseListFile("+a\r\n+\r\n+c\r\n").size(), 1u);
}

TEST(ListFile, IgnoresTextAfterTheLastLineEnd) {
    EXPECT_EQ(ParseListFile("+a\r\n+b").size(), 1u);
    EXPECT_EQ(ParseListFile("+a\r\n+b\r").size(), 1u);
    EXPECT_TRUE(ParseListFile("").empty());
}

TEST(ListFile, KeepsLoneCarriageReturnsAndLineFeedsInsideNames) {
    const auto entries = ParseListFile("+a\rb\r\n+c\nd\r\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a\rb");
    EXPECT_EQ(entries[1].name, "c\nd");
    EXPECT_EQ(FormatListFile(NameList(entries)), "+a\rb\r\n+c\nd\r\n");
}

TEST(ListFile, SkipsEmptyNamesWhenWriting) {
    NameList list;
    list.InsertSorted("", 1);
    list.InsertSorted("X", 0);
    EXPECT_EQ(FormatListFile(list), "-X\r\n");
}

TEST(ListFile, LoadOrderEqualsRepeatedSortedInsertion) {
    // Duplicates differing in case and check flag make the order of equal
    // names visible.
    std::mt19937 rng(7);
    const char* pool[] = {"B", "b", "a", "A.com", "a.com/", "a.com.au", "Z", "_x", "\xE9t\xE9"};
    std::string file;
    NameList expected;
    for (int i = 0; i < 300; ++i) {
        const std::string name = pool[rng() % std::size(pool)];
        const bool active = rng() % 2 == 0;
        file += (active ? "+" : "-") + name + "\r\n";
        expected.InsertSorted(ToLower(name), active ? 1 : 0);
    }
    EXPECT_EQ(ParseListFile(file), expected.entries());
}

// Lists of a megabyte and more are read in two halves on two cores: the
// result is that of one stable sort, and a short line in either half ends
// the list there.
TEST(ListFile, LargeListsReadAsOne) {
    std::mt19937 rng(9);
    const char* pool[] = {"B", "b", "a", "A.com", "a.com/", "Z", "_x"};
    for (int shortAt : {-1, 2000, 9000}) {
        std::string file;
        std::vector<std::pair<std::string, int32_t>> lines;
        for (int i = 0; i < 12000; ++i) {
            if (i == shortAt) {
                file += "+\r\n";
                continue;
            }
            const std::string name =
                pool[rng() % std::size(pool)] + std::string(90, 'q') + std::to_string(rng() % 50);
            const bool active = rng() % 2 == 0;
            file += (active ? "+" : "-") + name + "\r\n";
            if (shortAt < 0 || i < shortAt) {
                lines.emplace_back(ToLower(name), active ? 1 : 0);
            }
        }
        ASSERT_GT(file.size(), 1u << 20);
        std::stable_sort(lines.begin(), lines.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        std::vector<ListEntry> expected;
        for (const auto& [name, check] : lines) {
            expected.push_back({name, check});
        }
        EXPECT_EQ(ParseListFile(file), expected) << shortAt;
    }
}

} // namespace
} // namespace qlx::engine
