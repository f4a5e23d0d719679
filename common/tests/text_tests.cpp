#include "common/core/address.h"
#include "common/core/text.h"

#include <gtest/gtest.h>

namespace qlx {
namespace {

TEST(CompareNoCase, OrdersByFoldedBytesWithPrefixFirst) {
    EXPECT_EQ(CompareNoCase("Explorer.EXE", "explorer.exe"), 0);
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(CompareNoCase("b", "A"), 0);
    EXPECT_LT(CompareNoCase("abc", "abcd"), 0);
    EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
    EXPECT_EQ(CompareNoCase("", ""), 0);
    // '_' (0x5F) lies between the upper- and lower-case letters: folding to
    // lower case puts it before every letter.
    EXPECT_LT(CompareNoCase("_", "A"), 0);
    // Bytes above 0x7F compare unsigned and unfolded.
    EXPECT_GT(CompareNoCase("\xE9", "z"), 0);
    EXPECT_NE(CompareNoCase("\xC9", "\xE9"), 0);
}

TEST(ContainsNoCase, FindsAnyLetterCase) {
    EXPECT_TRUE(ContainsNoCase("res://ieframe.dll/NavigationCanceled.htm", "navigationcanceled"));
    EXPECT_TRUE(ContainsNoCase("RES://SHDOCLC.DLL/dnserror.htm", "shdoclc.dll"));
    EXPECT_FALSE(ContainsNoCase("http://example.com", "shdoclc.dll"));
    EXPECT_TRUE(ContainsNoCase("x", ""));
    EXPECT_FALSE(ContainsNoCase("", "x"));
}

TEST(TrimAddress, KeepsTextAfterTheLastSeparators) {
    EXPECT_EQ(TrimAddress("junk\r\nhttp://a.com/x"), "http://a.com/x");
    EXPECT_EQ(TrimAddress("a\x01"
                          "b\nc\rd"),
              "d");
    // The code-1 cut comes first, so a line break before it is cut with it.
    EXPECT_EQ(TrimAddress("x\ny\x01z"), "z");
    EXPECT_EQ(TrimAddress("http://plain.com"), "http://plain.com");
    EXPECT_EQ(TrimAddress("ends with break\n"), "");
    EXPECT_EQ(TrimAddress(""), "");
}

TEST(CutToSite, LeavesSchemeAndHost) {
    EXPECT_EQ(CutToSite("http://www.example.com/dir/page.html"), "http://www.example.com");
    EXPECT_EQ(CutToSite("http://localhost/dir/page.html"), "http://localhost/dir/page.html");
    EXPECT_EQ(CutToSite("http://example.com"), "http://example.com");
    EXPECT_EQ(CutToSite("https://a.b.c/"), "https://a.b.c");
    EXPECT_EQ(CutToSite(""), "");
}

} // namespace
} // namespace qlx
