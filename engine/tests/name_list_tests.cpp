#include "engine/core/name_list.h"

#include <gtest/gtest.h>

#include <random>

namespace qlx::engine {
namespace {

NameList Build(std::initializer_list<const char*> names) {
    NameList list;
    for (const char* n : names) {
        list.InsertSorted(n, 1);
    }
    return list;
}

TEST(NameListLookup, StripsOneTrailingSlashOnBothSidesIgnoringCase) {
    NameList list = Build({"a.com", "b.org/", "c.net"});
    EXPECT_EQ(list.Lookup("A.COM/").position, 0);
    EXPECT_EQ(list.Lookup("b.org").position, 1);
    EXPECT_EQ(list.Lookup("B.ORG/").position, 1);
    EXPECT_FALSE(list.Lookup("c.net//").found()); // only one slash is removed
    EXPECT_FALSE(list.Lookup("b.org//").found()); // "b.org/" compares as "b.org"
    EXPECT_EQ(Build({"e.com//"}).Lookup("E.COM//").position, 0);
    EXPECT_FALSE(list.Lookup("d.net").found());
    EXPECT_FALSE(NameList().Lookup("x").found());
}

TEST(NameListLookup, FindsSlashedNamesThatSortAfterLongerNames) {
    // In raw order "a.com.au" < "a.com/" ('.' < '/'), while without the slash
    // "a.com" < "a.com.au": a search by the stripped names misses the entry.
    NameList list = Build({"a.com/", "a.com.au", "a.com-x", "a.com.br"});
    EXPECT_EQ(list[3].name, "a.com/");
    EXPECT_EQ(list.Lookup("a.com").position, 3);
    EXPECT_EQ(list.Lookup("a.com/").position, 3);
    EXPECT_EQ(list.Lookup("a.com.au").position, 1);
    EXPECT_FALSE(list.Lookup("a.co").found());
}

TEST(NameListLookup, ReportsTheCheckFlag) {
    NameList list;
    list.InsertSorted("x", 0);
    const LookupResult r = list.Lookup("X");
    EXPECT_TRUE(r.found());
    EXPECT_FALSE(r.active());
}

TEST(NameListInsert, PlacesEqualNamesAfterTheExistingOnes) {
    NameList list;
    EXPECT_EQ(list.InsertSorted("b", 1), 0);
    EXPECT_EQ(list.InsertSorted("a", 1), 0);
    EXPECT_EQ(list.InsertSorted("B", 0), 2);
    EXPECT_EQ(list.InsertSorted("_", 1), 0); // '_' folds before the letters
    EXPECT_EQ(list[3].check, 0);
}

TEST(NameListResort, MovesAnEditedEntryToItsPlace) {
    NameList list = Build({"a", "c", "e"});
    list.Rename(0, "d");
    EXPECT_EQ(list.Resort(0), 1);
    EXPECT_EQ(list.Lookup("d").position, 1);
    EXPECT_EQ(list.Lookup("c").position, 0);
    EXPECT_EQ(list.FindLinear("E"), 2);
}

// One merge gives what one Lookup and InsertSorted per name would give, with
// names that differ in case and in a trailing slash, and repeats.
TEST(NameListMerge, EqualsInsertingOneNameAtATime) {
    const char* pool[] = {"a", "A", "a/", "a//", "b", "B/", "ab", "Ab/", "c"};
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        NameList batch, single;
        for (int i = static_cast<int>(rng() % 4); i > 0; --i) {
            const char* n = pool[rng() % std::size(pool)];
            batch.InsertSorted(n, 0);
            single.InsertSorted(n, 0);
        }
        std::vector<std::string_view> names;
        for (int i = static_cast<int>(rng() % 6); i > 0; --i) {
            names.push_back(pool[rng() % std::size(pool)]);
        }
        batch.MergeActive(names);
        for (std::string_view n : names) {
            const LookupResult found = single.Lookup(n);
            if (found.found()) {
                single.SetCheck(found.position, 1);
            } else {
                single.InsertSorted(n, 1);
            }
        }
        ASSERT_EQ(batch.entries(), single.entries()) << "round " << round;
    }
}

// Code page 932: the second byte of a character can be a letter (0x83 0x41
// is one character, 0x83 0x61 another) or a backslash (0x95 0x5C).
LeadBytes ShiftJis() {
    return LeadBytes::From([](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || c >= 0xE0; });
}

TEST(NameListLookup, DoubleByteCharactersAreComparedWhole) {
    const LeadBytes sjis = ShiftJis();
    NameList list(&sjis);
    list.InsertSorted("\x83\x61.exe", 1);
    EXPECT_EQ(list.InsertSorted("\x83\x41.EXE", 1), 0);
    EXPECT_EQ(list.Lookup("\x83\x41.exe").position, 0);
    EXPECT_EQ(list.Lookup("\x83\x61.EXE").position, 1);
    EXPECT_FALSE(list.Lookup("\x83\x42.exe").found());
    EXPECT_EQ(list.FindFirst("\x83\x61.exe"), 1);
    // In a single-byte code page the same bytes are two characters each.
    EXPECT_EQ(NameList().Compare("\x83\x41", "\x83\x61"), 0);
}

// The binary searches (over the names' folded first bytes, then the names)
// find what a linear scan finds, for names around the eight-byte prefixes.
TEST(NameListLookup, AgreesWithALinearScan) {
    const LeadBytes sjis = ShiftJis();
    const char bytes[] = {'a', 'A', 'b', '/', '\x83', '\x41', '\x61', '\x95'};
    std::mt19937 rng(17);
    for (const LeadBytes* lead : {&sjis, static_cast<const LeadBytes*>(nullptr)}) {
        NameList list(lead);
        std::vector<std::string> names;
        for (int i = 0; i < 400; ++i) {
            std::string n(6 + rng() % 6, 'a');
            for (char& c : n) {
                c = bytes[rng() % std::size(bytes)];
            }
            names.push_back(n);
            list.InsertSorted(n, 1);
        }
        for (const std::string& n : names) {
            ASSERT_EQ(list.FindFirst(n), list.FindLinear(n)) << n;
            ASSERT_TRUE(list.Lookup(n).found()) << n;
        }
    }
}

} // namespace
} // namespace qlx::engine
