#include "engine/core/name_list.h"

#include <gtest/gtest.h>

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
    list[0].name = "d";
    EXPECT_EQ(list.Resort(0), 1);
    EXPECT_EQ(list.Lookup("d").position, 1);
    EXPECT_EQ(list.Lookup("c").position, 0);
    EXPECT_EQ(list.FindLinear("E"), 2);
}

} // namespace
} // namespace qlx::engine
