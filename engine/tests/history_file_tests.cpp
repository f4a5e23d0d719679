#include "engine/core/history_file.h"

#include <gtest/gtest.h>

#include "engine/core/time_text.h"

namespace qlx::engine {
namespace {

HistoryRecord Sample() {
    HistoryRecord r;
    r.time = "2024-05-15 12:00:00";
    r.title = "Title";
    r.site = "http://a.b";
    r.popup = "http://a.b/p.html";
    r.process = "iexplore.exe";
    r.left = 10;
    r.top = -20;
    r.width = 300;
    r.height = 200;
    r.siteCount = 3;
    r.addressCount = -2;
    r.processCount = -1;
    return r;
}

TEST(HistoryFile, WritesTwelveTabSeparatedFieldsNewestFirst) {
    HistoryRecord older = Sample();
    older.title = "Old";
    const std::deque<HistoryRecord> history = {Sample(), older};
    const std::string text = FormatHistoryFile(history);
    EXPECT_EQ(text.substr(0, text.find("\r\n") + 2),
              "2024-05-15 12:00:00\t3\t-2\t-1\t10\t-20\t300\t200\tTitle\thttp://a.b\t"
              "http://a.b/p.html\tiexplore.exe\r\n");
    EXPECT_EQ(ParseHistoryFile(text), history);
}

TEST(HistoryFile, MissingFieldsBecomeUnknownOrZero) {
    const auto history = ParseHistoryFile("2024-01-02 03:04:05\t\r\n\r\nx\t7\t8\r\ntail");
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].time, "2024-01-02 03:04:05");
    EXPECT_EQ(history[0].siteCount, 0);
    EXPECT_EQ(history[0].height, 0);
    EXPECT_EQ(history[0].title, "N/A");
    EXPECT_EQ(history[0].process, "N/A");
    EXPECT_EQ(history[1].time, "N/A"); // an empty line
    EXPECT_EQ(history[1].popup, "N/A");
    EXPECT_EQ(history[2].siteCount, 7);
    EXPECT_EQ(history[2].addressCount, 8);
    EXPECT_EQ(history[2].processCount, 0);
}

TEST(HistoryFile, LastFieldTakesTheRestAndNumbersReadLikeAtoi) {
    const auto history = ParseHistoryFile("t\t 12x\t-3\t+4\tabc\t\t\t\tti\tsi\tpo\tpro\tcess\r\n");
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].siteCount, 12);
    EXPECT_EQ(history[0].addressCount, -3);
    EXPECT_EQ(history[0].processCount, 4);
    EXPECT_EQ(history[0].left, 0);
    EXPECT_EQ(history[0].process, "pro\tcess");
}

TEST(HistoryFile, TabsAndLineBreaksInTextsCannotShiftFields) {
    HistoryRecord r = Sample();
    r.title = "a\tb\r\nc";
    r.process = "p\tq";
    const auto back = ParseHistoryFile(FormatHistoryFile({r}));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].title, "a b  c");
    EXPECT_EQ(back[0].site, r.site);
    EXPECT_EQ(back[0].process, "p q");
}

TEST(TimeText, RoundTripsAndRejectsBadTexts) {
    const std::time_t t = 1715774400;
    const auto back = ParseTimeText(FormatTimeText(t));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, t);
    EXPECT_FALSE(ParseTimeText("N/A").has_value());
    EXPECT_FALSE(ParseTimeText("2024-05-15 12:00").has_value());
    EXPECT_FALSE(ParseTimeText("0-05-15 12:00:00").has_value());
    EXPECT_FALSE(ParseTimeText("2024-00-15 12:00:00").has_value());
    EXPECT_TRUE(ParseTimeText("2024-5-1 1:2:3").has_value());
}

} // namespace
} // namespace qlx::engine
