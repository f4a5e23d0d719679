#include <gtest/gtest.h>

#include "engine/core/history_file.h"
#include "engine/core/history_stats.h"
#include "engine/core/time_text.h"
#include "engine/tests/engine_fixture.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

constexpr int32_t kProcess = 0, kDomain = 1, kPopup = 2;

struct RecordingBrowser : BrowserLauncher {
    std::vector<BrowserWindowPlan> opened;
    void Open(const BrowserWindowPlan& plan) override { opened.push_back(plan); }
};

class History : public EngineTest {
protected:
    void Block(std::string_view parent, std::string_view popup,
               std::string_view process = "proc.exe", PopupGeometry g = {1, 2, 3, 4}) {
        BlockOutcome o;
        ASSERT_EQ(engine_->Block("T", parent, popup, process, g, o), Status::Ok);
        ASSERT_TRUE(o.block);
    }
    std::vector<int32_t> Counts(size_t i) const {
        const HistoryRecord& r = engine_->history()[i];
        return {r.siteCount, r.addressCount, r.processCount};
    }
};

TEST_F(History, CountersTotalTheNewestAndMarkTheOlder) {
    Init();
    Block("http://a.b/1", "http://p.q/1");
    Block("http://a.b/2", "http://p.q/2");
    Block("http://a.b/3", "http://p.q/1");
    EXPECT_THAT(Counts(0), ElementsAre(3, 2, 3));
    EXPECT_THAT(Counts(1), ElementsAre(-2, 1, -2));
    EXPECT_THAT(Counts(2), ElementsAre(-2, -2, -2));
    std::vector<std::string> sites;
    engine_->GetUniqueDomains(sites);
    EXPECT_THAT(sites, ElementsAre("http://a.b"));
    EXPECT_EQ(folder_.Read("\\history.log").substr(0, 28), "2024-05-15 12:00:00\t3\t2\t3\t1\t");
}

TEST_F(History, FileAlwaysMatchesTheRecordsAfterMarksAndDeletions) {
    Init();
    Add(ListKind::Popup, "ok.com");
    Block("http://a.b/", "http://p.q/1");
    Block("http://c.d/", "http://p.q/2", "other.exe");
    BlockOutcome o;
    engine_->Block("T", "http://c.d/", "http://ok.com", "x.exe", {}, o); // marks, no write
    ASSERT_EQ(engine_->DeleteFromHistory({1}), Status::Ok);
    Block("http://a.b/", "http://p.q/1");
    EXPECT_EQ(folder_.Read("\\history.log"), FormatHistoryFile(engine_->history()));
    const auto reread = Reopen();
    EXPECT_EQ(reread->history(), engine_->history());
}

TEST_F(History, APopupLetOpenStillMarksOlderRecords) {
    Init();
    Add(ListKind::Popup, "ok.com");
    Block("http://a.b/", "http://p.q/1");
    Block("http://a.b/", "http://p.q/2");
    Block("http://a.b/", "http://p.q/3");
    BlockOutcome o;
    engine_->Block("T", "http://a.b/", "http://ok.com", "x.exe", {}, o);
    ASSERT_FALSE(o.block);
    EXPECT_EQ(engine_->history()[0].siteCount, -2);
    std::vector<std::string> sites;
    engine_->GetUniqueDomains(sites);
    EXPECT_TRUE(sites.empty());
    std::vector<int32_t> counts;
    engine_->GetTop10Ex(sites, counts);
    EXPECT_THAT(sites, ElementsAre("http://a.b"));
    EXPECT_THAT(counts, ElementsAre(3));
}

TEST_F(History, DefaultProcessesAreMarkedButNotTotalled) {
    Init();
    Block("http://a.b/", "http://p.q/1", "Explorer.exe");
    Block("http://c.d/", "http://p.q/2", "explorer.exe");
    EXPECT_EQ(engine_->history()[0].processCount, -1);
    EXPECT_EQ(engine_->history()[1].processCount, -2);
    std::vector<int32_t> stats;
    engine_->GetStatistics(true, stats);
    EXPECT_EQ(stats[0], 1); // today's processes
}

TEST_F(History, ProcessOnlyRecordsDoNotMarkAddresses) {
    Init();
    Block("http://a.b/", "http://p.q/");
    BlockOutcome o;
    engine_->Block2("http://p.q/", "proc.exe", {}, o);
    EXPECT_EQ(engine_->history()[1].addressCount, 1);
    EXPECT_EQ(engine_->history()[1].processCount, -2);
    EXPECT_EQ(engine_->history()[0].processCount, 2);
    EXPECT_EQ(engine_->history()[0].siteCount, 0);
}

TEST_F(History, SurvivesAReopenAndTheViewListsFiveTextsPerRecord) {
    Init();
    Block("http://a.b/", "http://p.q/", "x.exe", {5, 6, 7, 8});
    const auto reread = Reopen();
    ASSERT_EQ(reread->history().size(), 1u);
    EXPECT_EQ(reread->history()[0], engine_->history()[0]);
}

TEST_F(History, DeleteRemovesByOriginalPositionsWithoutWriting) {
    Init();
    for (int i = 0; i < 5; ++i) {
        Block("http://a.b/", "http://p.q/" + std::to_string(i));
    }
    const std::string before = folder_.Read("\\history.log");
    EXPECT_EQ(engine_->DeleteFromHistory({2, 5}), Status::InvalidArg);
    EXPECT_EQ(engine_->DeleteFromHistory({-1}), Status::InvalidArg);
    EXPECT_EQ(engine_->history().size(), 5u);
    ASSERT_EQ(engine_->DeleteFromHistory({2, 0, 2}), Status::Ok);
    std::vector<std::string> popups;
    for (const HistoryRecord& r : engine_->history()) {
        popups.push_back(r.popup);
    }
    EXPECT_THAT(popups, ElementsAre("http://p.q/3", "http://p.q/1", "http://p.q/0"));
    EXPECT_EQ(folder_.Read("\\history.log"), before);
    engine_->SaveParams();
    EXPECT_NE(folder_.Read("\\history.log"), before);
}

TEST_F(History, AddToListTakesTheTextOfTheKind) {
    Init();
    Block("http://a.b/c", "http://p.q/r", "proc.exe");
    bool inserted = false;
    int32_t pos = -2;
    ASSERT_EQ(engine_->AddToListFromHistory(kDomain, 0, inserted, pos), Status::Ok);
    ASSERT_EQ(engine_->AddToListFromHistory(kPopup, 0, inserted, pos), Status::Ok);
    ASSERT_EQ(engine_->AddToListFromHistory(kProcess, 0, inserted, pos), Status::Ok);
    EXPECT_TRUE(inserted);
    EXPECT_EQ(engine_->GetNameByIndex(kDomain, 0), "http://a.b");
    EXPECT_EQ(engine_->GetNameByIndex(kPopup, 0), "http://p.q/r");
    EXPECT_EQ(engine_->GetIndexByName(kProcess, "proc.exe"), 2);
    EXPECT_EQ(engine_->AddToListFromHistory(kDomain, 1, inserted, pos), Status::InvalidArg);
    EXPECT_EQ(engine_->AddToListFromHistory(3, 0, inserted, pos), Status::InvalidArg);
}

TEST_F(History, OpeningRestoresARecordedPopupOrNormalises) {
    RecordingBrowser browser;
    engine_->SetBrowser(&browser);
    EngineSettings s;
    s.fit = true;
    s.addMenu = true;
    Init(false, s);
    bool opened = true;
    ASSERT_EQ(engine_->OpenLastPopup(opened), Status::Ok);
    EXPECT_FALSE(opened);
    Block("http://a.b/", "http://p.q/", "x.exe", {10, 20, 300, 200});
    Block("", "", "x.exe");
    ASSERT_EQ(engine_->OpenFromHistory(1), Status::Ok);
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_TRUE(browser.opened[0].restore);
    EXPECT_EQ(browser.opened[0].address, "http://p.q/");
    EXPECT_EQ(browser.opened[0].width, 300);
    // A record without address opens its site; no record has it as address.
    ASSERT_EQ(engine_->OpenLastPopup(opened), Status::Ok);
    EXPECT_TRUE(opened);
    ASSERT_EQ(browser.opened.size(), 2u);
    EXPECT_EQ(browser.opened[1].address, "N/A");
    Add(ListKind::Domain, "q.r");
    ASSERT_EQ(engine_->OpenFromList(kDomain, 0), Status::Ok);
    EXPECT_FALSE(browser.opened[2].restore);
    EXPECT_TRUE(browser.opened[2].fitToScreen);
    EXPECT_FALSE(browser.opened[2].resizable);
    EXPECT_TRUE(browser.opened[2].menuAndToolbar);
    s.normWindows = true;
    engine_->SetParams(s);
    engine_->OpenFromHistory(1);
    EXPECT_FALSE(browser.opened[3].restore);
    EXPECT_EQ(engine_->OpenFromHistory(2), Status::InvalidArg);
}

TEST_F(History, Top10RanksSiteCountsAndPads) {
    Init();
    std::vector<std::string> top;
    engine_->GetTop10(top);
    EXPECT_EQ(top, std::vector<std::string>(10));
    Block("http://a.b/", "http://p.q/");
    Block("http://c.d/", "http://p.q/");
    Block("http://c.d/", "http://p.q/");
    Block("http://e.f/", "http://p.q/");
    engine_->GetTop10(top);
    EXPECT_THAT(top,
                ElementsAre("http://c.d", "http://a.b", "http://e.f", "", "", "", "", "", "", ""));
}

TEST_F(History, Top10ExTalliesEveryRecordIncludingUnknownSites) {
    Init();
    Block("", "http://p.q/1");
    Block("http://a.b/", "http://p.q/2");
    Block("http://A.B/", "http://p.q/3");
    Block("", "http://p.q/4");
    Block("http://c.d/", "http://p.q/5");
    std::vector<std::string> sites;
    std::vector<int32_t> counts;
    engine_->GetTop10Ex(sites, counts);
    EXPECT_THAT(sites, ElementsAre("N/A", "http://A.B", "http://c.d"));
    EXPECT_THAT(counts, ElementsAre(2, 2, 1));
}

TEST(Statistics, CountsEachDistinctValueInThePeriodsOfItsNewestRecord) {
    const std::time_t now = At(2024, 5, 15, 12); // Wednesday; the week began Sunday 12th
    auto record = [](std::time_t t, int32_t site, int32_t address, int32_t process) {
        HistoryRecord r;
        r.time = FormatTimeText(t);
        r.siteCount = site;
        r.addressCount = address;
        r.processCount = process;
        return r;
    };
    const std::deque<HistoryRecord> history = {
        record(At(2024, 5, 15, 9), 2, 1, -1),      // today
        record(At(2024, 5, 14, 23, 30), 1, -2, 1), // yesterday, last hour
        record(At(2024, 5, 12, 0, 10), 1, 1, 0),   // Sunday: this week
        record(At(2024, 5, 11, 23), 1, 1, 1),      // Saturday: last week
        record(At(2024, 4, 30), 1, 1, 1),          // last month
        record(At(2023, 6, 1), 1, 1, 1),           // last year
        record(At(2024, 5, 15, 8), -2, -2, -2),    // counted with a newer record
    };
    const std::vector<int32_t> s = ComputeStatistics(history, now, true);
    ASSERT_EQ(s.size(), 24u);
    EXPECT_THAT(std::vector<int32_t>(s.begin(), s.begin() + 12),
                ElementsAre(1, 1, 1, /*week*/ 2, 3, 2, /*month*/ 3, 4, 3, /*year*/ 4, 5, 4));
    EXPECT_THAT(std::vector<int32_t>(s.begin() + 12, s.end()),
                ElementsAre(/*yesterday*/ 1, 1, 0, /*last week*/ 1, 1, 1, /*last month*/ 1, 1, 1,
                            /*last year*/ 1, 1, 1));
    const std::vector<int32_t> pairs = ComputeStatistics(history, now, false);
    ASSERT_EQ(pairs.size(), 16u);
    EXPECT_EQ(pairs[0], 1);
    EXPECT_EQ(pairs[2], 3);
}

TEST(Statistics, SkipsUnreadableTimesAndHandlesJanuary) {
    HistoryRecord bad;
    bad.time = "N/A";
    bad.siteCount = 1;
    HistoryRecord december = bad;
    december.time = "2023-12-31 10:00:00";
    const std::vector<int32_t> s = ComputeStatistics({bad, december}, At(2024, 1, 2), false);
    // 31 December 2023 was a Sunday: this week, last month and last year.
    EXPECT_THAT(s, ElementsAre(0, 0, /*week*/ 1, 0, 0, 0, 0, 0, /*yesterday*/ 0, 0, 0, 0,
                               /*last month*/ 1, 0, /*last year*/ 1, 0));
}

} // namespace
} // namespace qlx::engine::testing
