#include <gtest/gtest.h>

#include "tray/core/allowed_sites.h"
#include "tray/core/popup_recorder.h"
#include "tray/core/settings.h"
#include "tray/tests/fake_clock.h"

namespace qlx::tray {
namespace {

struct RecordingNotifier final : PopupNotifier {
    std::vector<std::string> addresses;
    void NotifyBlockedPopup(const std::string& popupAddress) override {
        addresses.push_back(popupAddress);
    }
};

// Refreshing shows the counters the way the main window does.
struct RecordingView final : StatisticsView {
    CSettings* settings = nullptr;
    const Clock* clock = nullptr;
    std::vector<uint32_t> todayShown;
    void RefreshStatistics() override { todayShown.push_back(settings->TodayCount(*clock)); }
};

class RecordBlockedPopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Construct(CSettings::FactoryDefaults(""));
        settings.today_time = "2026-12-07";
        view.settings = &settings;
        view.clock = &clock;
    }
    bool Record(std::string_view parent, std::string_view popup) {
        return RecordBlockedPopup(settings, clock, &notifier, &view, parent, popup,
                                  {10, 20, 300, 400});
    }

    CSettings settings;
    testing::FakeClock clock;
    RecordingNotifier notifier;
    RecordingView view;
};

TEST_F(RecordBlockedPopupTest, RecordsCountsNotifiesAndRefreshes) {
    EXPECT_TRUE(Record("http://www.example.com/dir/page.html", "http://ads.example.net/p?x=1"));
    ASSERT_EQ(settings.history.size(), 1u);
    const auto& e = settings.history[0];
    EXPECT_EQ(e.siteAddress, "http://www.example.com");
    EXPECT_EQ(e.popupAddress, "http://ads.example.net/p?x=1");
    EXPECT_EQ(e.time, "2026-12-07 09:15:30");
    EXPECT_EQ(e.left, 10u);
    EXPECT_EQ(e.top, 20u);
    EXPECT_EQ(e.width, 300u);
    EXPECT_EQ(e.height, 400u);
    EXPECT_EQ(settings.PopupBlockedToday_Count, 1u);
    EXPECT_EQ(settings.PopupBlockedTotal_Count, 1u);
    EXPECT_EQ(notifier.addresses, std::vector<std::string>{"http://ads.example.net/p?x=1"});
    EXPECT_EQ(view.todayShown, std::vector<uint32_t>{1});
}

TEST_F(RecordBlockedPopupTest, KeepsTheBrowsersProcessOnOneLine) {
    const struct {
        std::string_view given, kept;
    } cases[] = {{"chrome.exe", "chrome.exe"},
                 {"  My Browser.exe \t", "My Browser.exe"},
                 {"msedge.exe\r\n5\nx", "msedge.exe"},
                 {"", ""}};
    for (const auto& c : cases) {
        settings.history.clear();
        EXPECT_TRUE(RecordBlockedPopup(settings, clock, nullptr, nullptr, "http://a.example", "p",
                                       {}, nullptr, c.given));
        ASSERT_EQ(settings.history.size(), 1u);
        EXPECT_EQ(settings.history[0].process, c.kept) << c.given;
    }
}

TEST_F(RecordBlockedPopupTest, RefusesTheBrowsersInternalPages) {
    EXPECT_FALSE(Record("http://a.example.com/", "res://shdoclc.dll/navcancl.htm"));
    EXPECT_FALSE(Record("http://a.example.com/", "about:NavigationCanceled"));
    EXPECT_FALSE(Record("http://a.example.com/", "res://ieframe.dll/NAVIGATIONCANCELED.htm"));
    EXPECT_FALSE(Record("", "res://SHDOCLC.DLL/dnserror.htm"));
    EXPECT_TRUE(settings.history.empty());
    EXPECT_EQ(settings.PopupBlockedTotal_Count, 0u);
    EXPECT_TRUE(notifier.addresses.empty());
    EXPECT_TRUE(view.todayShown.empty());
}

TEST_F(RecordBlockedPopupTest, TrimsAndCutsAddresses) {
    Record("garbage\r\nhttp://www.site.com/a/b", "junk\x01http://pop.com/x");
    Record("http://localhost/a/b", "http://pop.com/y"); // no "." : stays whole
    Record("http://www.site.com", "http://pop.com/z");  // "." but no "/" after it
    Record("", "http://only.popup.com/p");              // empty site takes the pop-up
    Record("http://only.site.com/q", "");               // empty pop-up takes the site
    Record("", "");                                     // both stay empty
    Record("   ", " http://spaced.com/s\t");            // spaces only count as empty
    Record(" \t ", "  ");
    ASSERT_EQ(settings.history.size(), 8u);
    EXPECT_EQ(settings.history[0].siteAddress, "http://www.site.com");
    EXPECT_EQ(settings.history[0].popupAddress, "http://pop.com/x");
    EXPECT_EQ(settings.history[1].siteAddress, "http://localhost/a/b");
    EXPECT_EQ(settings.history[2].siteAddress, "http://www.site.com");
    EXPECT_EQ(settings.history[3].siteAddress, "http://only.popup.com/p");
    EXPECT_EQ(settings.history[3].popupAddress, "http://only.popup.com/p");
    EXPECT_EQ(settings.history[4].siteAddress, "http://only.site.com");
    EXPECT_EQ(settings.history[4].popupAddress, "http://only.site.com");
    EXPECT_EQ(settings.history[5].siteAddress, "");
    EXPECT_EQ(settings.history[5].popupAddress, "");
    EXPECT_EQ(settings.history[6].siteAddress, "http://spaced.com/s");
    EXPECT_EQ(settings.history[6].popupAddress, "http://spaced.com/s");
    EXPECT_EQ(settings.history[7].siteAddress, "");
    EXPECT_EQ(settings.history[7].popupAddress, "");
    EXPECT_EQ(settings.PopupBlockedTotal_Count, 8u);
    // What was recorded reads back equal from the file.
    EXPECT_EQ(ReadHistoryText(WriteHistoryText(settings.history)), settings.history);
}

TEST_F(RecordBlockedPopupTest, SuppressedNotificationStillRecordsAndCounts) {
    settings.AllowRequestedPopup = true;
    EXPECT_TRUE(Record("http://a.example.com/x", "http://b.example.com/y"));
    EXPECT_TRUE(notifier.addresses.empty());
    EXPECT_EQ(settings.history.size(), 1u);
    EXPECT_EQ(settings.PopupBlockedToday_Count, 1u);
}

TEST_F(RecordBlockedPopupTest, PopupJustAfterMidnightIsCountedThenRolledOver) {
    settings.today_time = "2026-12-06";
    settings.PopupBlockedToday_Count = 7;
    settings.PopupBlockedTotal_Count = 70;
    clock.now = {2026, 12, 7, 0, 0, 1};
    // Counted into both counters first; the refresh that follows finds a new
    // day and resets the day counter.
    EXPECT_TRUE(RecordBlockedPopup(settings, clock, &notifier, nullptr, "a", "b", {}));
    EXPECT_EQ(settings.PopupBlockedToday_Count, 8u);
    EXPECT_EQ(settings.PopupBlockedTotal_Count, 71u);
    EXPECT_EQ(settings.TodayCount(clock), 0u);
    EXPECT_EQ(settings.today_time, "2026-12-07");
}

TEST_F(RecordBlockedPopupTest, WorksWithoutNotifierAndView) {
    EXPECT_TRUE(RecordBlockedPopup(settings, clock, nullptr, nullptr, "a", "b", {}));
    EXPECT_EQ(settings.history.size(), 1u);
}

TEST_F(RecordBlockedPopupTest, APopUpOfAnAllowedSiteIsLetThroughAndRecordedNowhere) {
    AllowedSites allowed;
    allowed.Add("example.com");
    const struct {
        const char* parent;
        bool blocked;
    } cases[] = {
        {"http://mail.example.com/inbox", false},
        {"\x01https://EXAMPLE.com", false},
        {"http://example.net/", true},
        {"", true},
    };
    size_t recorded = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(RecordBlockedPopup(settings, clock, &notifier, &view, c.parent,
                                     "http://ads.test/", {}, &allowed),
                  c.blocked)
            << c.parent;
        recorded += c.blocked ? 1 : 0;
        EXPECT_EQ(settings.history.size(), recorded) << c.parent;
        EXPECT_EQ(settings.PopupBlockedTotal_Count, recorded) << c.parent;
        EXPECT_EQ(notifier.addresses.size(), recorded) << c.parent;
    }
}

} // namespace
} // namespace qlx::tray
