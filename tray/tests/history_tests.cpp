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

TEST(HistoryFileTest, TheBrowsersProcessRidesOnTheGeometryLine) {
    struct Case {
        const char* process;
        const char* geometryLine;
    };
    const Case cases[] = {
        {"", "10 20 300 200\n"},
        {"chrome.exe", "10 20 300 200 chrome.exe\n"},
        {"My Browser.exe", "10 20 300 200 My Browser.exe\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.process);
        History h = {
            Entry("http://a.example.com", "http://a.example.com/p", "2026-12-07 10:00:00", 1),
            Entry("http://b.example.com", "http://b.example.com/q", "2026-12-07 10:00:05", 10)};
        h[0].left = 10, h[0].top = 20, h[0].width = 300, h[0].height = 200;
        h[0].process = c.process;
        h[1].process = c.process;
        const std::string text = WriteHistoryText(h);
        EXPECT_EQ(LineCount(text), 9u);
        EXPECT_EQ(text.substr(2, std::string_view(c.geometryLine).size()), c.geometryLine);
        EXPECT_EQ(ReadHistoryText(text), h);
    }
    // Files written before the name was kept read with no process; blanks
    // around the name are not part of it.
    const History earlier = ReadHistoryText("1\n1 2 3 4\ns\np\nt\n");
    ASSERT_EQ(earlier.size(), 1u);
    EXPECT_EQ(earlier[0].process, "");
    EXPECT_EQ(ReadHistoryText("1\n1 2 3 4 \t msedge.exe \r\ns\np\nt\n").at(0).process,
              "msedge.exe");
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

TEST(HistoryFileTest, StrayBlankLinesNeverShiftLaterEntries) {
    const History written = {
        Entry("http://a.example.com", "http://a.example.com/p", "2026-12-07 10:00:00", 1),
        Entry("", "", "2026-12-07 10:00:01", 5),
        Entry("http://c.example.com", "http://c.example.com/q", "2026-12-07 10:00:02", 9)};
    const std::string a = "1 2 3 4\nhttp://a.example.com\nhttp://a.example.com/p\n"
                          "2026-12-07 10:00:00\n";
    const std::string b = "5 6 7 8\n\n\n2026-12-07 10:00:01\n";
    const std::string c = "9 10 11 12\nhttp://c.example.com\nhttp://c.example.com/q\n"
                          "2026-12-07 10:00:02\n";
    const struct {
        const char* what;
        std::string text;
    } files[] = {
        {"as written", "3\n" + a + b + c},
        {"blank lines between entries", "\n3\n\n" + a + " \n\t\n" + b + "\r\n" + c + "\n\n"},
        {"blank lines between fields",
         "3\n1 2 3 4\n \n  http://a.example.com \n\n\nhttp://a.example.com/p\n  \n"
         "2026-12-07 10:00:00\n" +
             b +
             "9 10 11 12\nhttp://c.example.com\n\r\nhttp://c.example.com/q\n\n\n\n"
             "2026-12-07 10:00:02\n"},
        {"empty addresses followed by blank lines", "3\n" + a +
                                                        "5 6 7 8\n\n\n\n \n"
                                                        "2026-12-07 10:00:01\n" +
                                                        c},
        {"CR LF throughout", "3\r\n1 2 3 4\r\nhttp://a.example.com\r\nhttp://a.example.com/p\r\n"
                             "2026-12-07 10:00:00\r\n5 6 7 8\r\n\r\n\r\n2026-12-07 10:00:01\r\n" +
                                 c},
    };
    for (const auto& file : files) {
        const HistoryReading reading = ReadHistory(file.text);
        EXPECT_EQ(reading.entries, written) << file.what;
        EXPECT_TRUE(reading.whole) << file.what;
    }
}

TEST(HistoryFileTest, OnlyAReadingThatTookTheWholeFileMayBeWrittenOver) {
    const std::string one = "1 2 3 4\ns\np\nt\n";
    const struct {
        std::string text;
        size_t entries;
        bool whole;
    } cases[] = {
        {"", 0, true},
        {"0\n", 0, true},
        {"3\n" + one + one + "\n \n", 2, true},         // the file ended early
        {"2\n" + one + "1 2 3 4\ns\n", 1, true},        // cut inside the last entry
        {"2\n" + one + "1 2 x 4\ns\np\nt\n", 1, false}, // damage with entries after it
        {"abc\n" + one, 0, false},
        {"-1\n" + one, 0, false},
        {"1\n" + one + one, 1, false}, // more than announced
        {"2\n" + one + "1 2 3 4\n" + std::string(kMaxHistoryLine + 1, 'a') + "\np\nt\n", 1, false},
    };
    for (const auto& c : cases) {
        const HistoryReading reading = ReadHistory(c.text);
        EXPECT_EQ(reading.entries.size(), c.entries) << c.text.substr(0, 40);
        EXPECT_EQ(reading.whole, c.whole) << c.text.substr(0, 40);
    }
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
    EXPECT_TRUE(LoadHistoryFile(files, path).entries.empty()); // missing file
    EXPECT_TRUE(LoadHistoryFile(files, path).whole);

    History first = {Entry("a", "b", "t1", 1)};
    ASSERT_TRUE(SaveHistoryFile(files, path, first));
    History second = {Entry("c", "d", "t2", 2), Entry("", "", "t3", 3)};
    ASSERT_TRUE(SaveHistoryFile(files, path, second));
    EXPECT_EQ(LoadHistoryFile(files, path).entries, second);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // A folder that does not exist: nothing written, no crash.
    EXPECT_FALSE(SaveHistoryFile(files, (dir / "missing" / "history.lst").string(), second));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qlx::tray
