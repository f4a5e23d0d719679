#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tray/core/file_store.h"
#include "tray/core/history.h"

namespace qlx::tray {
namespace {

CHistoryEntry Entry(std::string site, std::string popup, std::string time, uint32_t base) {
    return {std::move(time), std::move(site), std::move(popup), base, base + 1, base + 2, base + 3};
}

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(HistoryFileTest, TwoEntriesMakeNineLinesAndReadBackEqual) {
    History h = {
        Entry("http://a.example.com", "http://a.example.com/p.html", "2026-12-07 10:00:00", 1),
        Entry("http://b.example.com", "https://x.example.org/q?a=1 b", "2026-12-07 10:00:05", 100)};
    const std::string text = WriteHistoryText(h);
    EXPECT_EQ(LineCount(text), 9u);
    EXPECT_EQ(text.substr(0, 12), "2\n1 2 3 4\nht");
    EXPECT_EQ(ReadHistoryText(text), h);
}

TEST(HistoryFileTest, EmptyAddressesDoNotShiftLaterEntries) {
    History h = {Entry("", "", "2026-12-07 10:00:00", 1),
                 Entry("http://b.example.com", "http://b.example.com/x", "2026-12-07 11:00:00", 5),
                 Entry("", "", "2026-12-07 12:00:00", 9)};
    EXPECT_EQ(ReadHistoryText(WriteHistoryText(h)), h);
}

TEST(HistoryFileTest, ReadsTheLayoutOfEarlierFiles) {
    // CR LF line breaks, blanks around texts, a sign-less count.
    const std::string text = "2\r\n10 20 300 400\r\n  http://s.example.com \r\n"
                             "http://p.example.com/a\r\n2026-01-02 03:04:05\r\n"
                             "1 2 3 4\r\nhttp://t.example.com\r\nhttp://t.example.com/b\r\n"
                             "2026-01-02 03:04:06\r\n";
    History h = ReadHistoryText(text);
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].left, 10u);
    EXPECT_EQ(h[0].height, 400u);
    EXPECT_EQ(h[0].siteAddress, "http://s.example.com");
    EXPECT_EQ(h[1].time, "2026-01-02 03:04:06");
}

TEST(HistoryFileTest, SignedGeometryOfWindowsLeftOfTheScreenIsKept) {
    // A window left of or above the screen has a negative position; a file
    // that holds it signed reads as the unsigned reader always did (wrapped),
    // and the entries after it are not lost.
    const std::string text = "2\n-8 -100 1040 800\ns\np\nt\n1 2 3 4\ns2\np2\nt2\n";
    History h = ReadHistoryText(text);
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].left, 4294967288u);
    EXPECT_EQ(h[0].top, 4294967196u);
    EXPECT_EQ(h[0].width, 1040u);
    EXPECT_EQ(h[1].popupAddress, "p2");
    // A lone sign is no number.
    EXPECT_EQ(ReadHistoryText("1\n- 2 3 4\ns\np\nt\n").size(), 0u);
}

TEST(HistoryFileTest, StopsCleanlyOnDamagedFiles) {
    const std::string one = "1 2 3 4\ns\np\nt\n";
    // Fewer entries than announced: the whole ones are kept.
    EXPECT_EQ(ReadHistoryText("3\n" + one + one).size(), 2u);
    // Entry cut in the middle.
    EXPECT_EQ(ReadHistoryText("2\n" + one + "1 2 3 4\ns\n").size(), 1u);
    // Overlong line.
    EXPECT_EQ(ReadHistoryText("2\n" + one + "1 2 3 4\n" + std::string(kMaxHistoryLine + 1, 'a') +
                              "\np\nt\n")
                  .size(),
              1u);
    // Garbage numbers, negative or missing count, empty text.
    EXPECT_EQ(ReadHistoryText("2\n" + one + "1 2 x 4\ns\np\nt\n").size(), 1u);
    EXPECT_EQ(ReadHistoryText("2\n1 2 3\ns\np\nt\n").size(), 0u);
    EXPECT_EQ(ReadHistoryText("-1\n" + one).size(), 0u);
    EXPECT_EQ(ReadHistoryText("abc\n" + one).size(), 0u);
    EXPECT_EQ(ReadHistoryText("").size(), 0u);
    EXPECT_EQ(ReadHistoryText("99999999999999999999\n" + one).size(), 0u);
    // A huge announced count does not make the reader reserve or loop.
    EXPECT_EQ(ReadHistoryText("2147483647\n" + one).size(), 1u);
}

TEST(HistoryFileTest, LongAddressesReadBackWhole) {
    const std::string longAddress = "http://x.example.com/" + std::string(2000, 'q');
    History h = {Entry("http://x.example.com", longAddress, "2026-12-07 10:00:00", 1)};
    EXPECT_EQ(ReadHistoryText(WriteHistoryText(h)), h);
}

TEST(HistoryFileTest, FileRoundTripReplacesTheOldFile) {
    const auto dir = std::filesystem::temp_directory_path() / "qlx_history_file_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "history.lst").string();
    StdFileStore files;
    EXPECT_TRUE(LoadHistoryFile(files, path).empty()); // missing file

    History first = {Entry("a", "b", "t1", 1)};
    ASSERT_TRUE(SaveHistoryFile(files, path, first));
    History second = {Entry("c", "d", "t2", 2), Entry("", "", "t3", 3)};
    ASSERT_TRUE(SaveHistoryFile(files, path, second));
    EXPECT_EQ(LoadHistoryFile(files, path), second);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // A folder that does not exist: nothing written, no crash.
    EXPECT_FALSE(SaveHistoryFile(files, (dir / "missing" / "history.lst").string(), second));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qlx::tray
