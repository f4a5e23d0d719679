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

} // namespace
} // namespace qlx::engine
