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

// Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC; a second byte may be
// a letter or a backslash, or itself take a lead-byte value.
TEST(CompareNoCase, FoldsOnlySingleByteLettersOfTheCodePage) {
    const LeadBytes sjis =
        LeadBytes::From([](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || c >= 0xE0; });
    EXPECT_NE(CompareNoCase("\x83\x41.exe", "\x83\x61.exe", sjis), 0);
    EXPECT_EQ(CompareNoCase("\x83\x41.EXE", "\x83\x41.exe", sjis), 0);
    // 0x81 0x81 is one character, so the "A" after it is a letter of its own.
    EXPECT_EQ(CompareNoCase("\x81\x81"
                            "A",
                            "\x81\x81"
                            "a",
                            sjis),
              0);
    EXPECT_NE(CompareNoCase("\x81\x81\x81"
                            "A",
                            "\x81\x81\x81"
                            "a",
                            sjis),
              0);
    EXPECT_EQ(ToLower("\x83\x41Z\x83\x5A", sjis), "\x83\x41z\x83\x5A");
    EXPECT_EQ(ToLower("\x83\x41", LeadBytes()), "\x83\x61");
    EXPECT_FALSE(sjis == LeadBytes());

    const struct {
        const char* text;
        const char* cut;
    } folders[] = {{"C:\\\x95\x5C", "C:\\\x95\x5C"},
                   {"C:\\\x95\x5C\\", "C:\\\x95\x5C"},
                   {"C:\\dir\\", "C:\\dir"},
                   {"\x83\x5C\x95\x5C", "\x83\x5C\x95\x5C"},
                   {"", ""}};
    for (const auto& f : folders) {
        EXPECT_EQ(WithoutTrailingChar(f.text, '\\', sjis), f.cut) << f.text;
    }
    EXPECT_EQ(WithoutTrailingChar("C:\\\x95\x5C", '\\', LeadBytes()), "C:\\\x95");
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
