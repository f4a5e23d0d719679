#include <gtest/gtest.h>

#include "common/core/address.h"
#include "engine/tests/engine_fixture.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

constexpr int32_t kProcess = 0, kDomain = 1, kPopup = 2, kDomainDeny = 4, kPopupDeny = 8,
                  kProcessDeny = 16;

class Decision : public EngineTest {
protected:
    BlockOutcome Block(std::string_view parent, std::string_view popup,
                       std::string_view process = "iexplore.exe", std::string_view title = "T") {
        BlockOutcome o;
        EXPECT_EQ(engine_->Block(title, parent, popup, process, {1, 2, 3, 4}, o), Status::Ok);
        return o;
    }
    BlockOutcome Block2(std::string_view parent, std::string_view process) {
        BlockOutcome o;
        EXPECT_EQ(engine_->Block2(parent, process, {1, 2, 3, 4}, o), Status::Ok);
        return o;
    }
    void DenyMode(EngineSettings s = {}) {
        s.block = true;
        Init(true, s);
    }
};

TEST(AddressViews, AgreeWithTheSharedTrimming) {
    for (const char* a : {"", "http://a.b/c/d.html", "x\x01y\nz\rhttp://a.b/c", "http://intranet/x",
                          "a.b", "http://a.b", ".", "/a.b/c", "\r\n", "x\ry\x01z.q/r"}) {
        EXPECT_EQ(std::string(CleanedAddress(a)), TrimAddress(a)) << a;
        EXPECT_EQ(std::string(SiteOf(a)), CutToSite(a)) << a;
    }
}

TEST_F(Decision, BrowserErrorPagesOpenAndAreNotRecorded) {
    Init();
    EXPECT_FALSE(Block("", "RES://SHDOCLC.DLL/dnserror.htm").block);
    EXPECT_FALSE(Block("", "res://ieframe.dll/navigationCanceled.htm").block);
    EXPECT_TRUE(engine_->history().empty());
    EXPECT_TRUE(engine_->recent().empty());
}

TEST_F(Decision, AllowModeLetsListedSitesAndAddressesOpen) {
    Init();
    Add(ListKind::Domain, "a.b");
    Add(ListKind::Popup, "x.y/p.html");
    EXPECT_FALSE(Block("http://a.b/c/d.html", "http://q.r/").block); // short site
    EXPECT_FALSE(Block("http://z.z/", "HTTP://x.y/p.html/").block);  // short address, slash
    EXPECT_TRUE(Block("http://z.z/", "http://q.r/").block);
    engine_->SetCheckOfItem(kDomain, 0, false);
    EXPECT_TRUE(Block("http://a.b/c/d.html", "http://q.r/").block);
    EXPECT_EQ(engine_->recent().size(), 4u);
    EXPECT_EQ(engine_->history().size(), 2u);
}

TEST_F(Decision, AllowModeBlocksUnknownAddressesAndDescribesThePopup) {
    Init();
    const BlockOutcome o = Block("", "", "proc.exe", "Title");
    EXPECT_TRUE(o.block);
    EXPECT_THAT(o.description, ElementsAre("proc.exe", "N/A", "Title", "N/A"));
    const HistoryRecord& r = engine_->history().front();
    EXPECT_EQ(r.site, "N/A");
    EXPECT_EQ(r.siteCount, 0);
    EXPECT_EQ(r.addressCount, 0);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.height, 4);
    EXPECT_EQ(r.time, "2024-05-15 12:00:00");
}

TEST_F(Decision, AddressesAreCleanedAndSitesCutAfterTheHost) {
    Init();
    const BlockOutcome o = Block("junk\x01http://a.b/c/d.html", "x\r\nhttp://p.q/r?s", "", "");
    EXPECT_THAT(o.description, ElementsAre("", "http://a.b", "N/A", "http://p.q/r?s"));
    EXPECT_EQ(engine_->history().front().process, ""); // WXBlock keeps an empty process
    const BlockOutcome intranet = Block("http://intranet/x/y", "http://p.q/");
    EXPECT_EQ(intranet.description[1], "http://intranet/x/y");
}

TEST_F(Decision, DenyModeBlocksDeniedOrUnknownOnly) {
    DenyMode();
    Add(ListKind::PopupDeny, "bad.com/ad");
    Add(ListKind::DomainDeny, "evil.org");
    EXPECT_TRUE(Block("http://a.b/", "").block);
    EXPECT_TRUE(Block("", "http://ok.com/").block);
    EXPECT_TRUE(Block("http://a.b/", "http://bad.com/ad").block);
    EXPECT_TRUE(Block("http://evil.org/x", "http://ok.com/").block);
    const size_t records = engine_->history().size();
    EXPECT_FALSE(Block("http://a.b/", "http://ok.com/").block);
    EXPECT_EQ(engine_->history().size(), records);
    EXPECT_EQ(engine_->recent().front().popup, "http://ok.com/");
}

TEST_F(Decision, FullLogicNeedsBothFlagsAndExactlyTrue) {
    EngineSettings s;
    s.block = true;
    Init(false, s); // full logic off: allow mode even with bBlock
    EXPECT_TRUE(Block("http://a.b/", "http://ok.com/").block);
}

TEST_F(Decision, SameSiteRuleBlocksARunFromOneSite) {
    EngineSettings s;
    s.fromDomain = true;
    s.set2 = 3;
    DenyMode(s);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(Block("http://a.b/x", "http://p.q/" + std::to_string(i)).block) << i;
    }
    EXPECT_TRUE(Block("http://a.b/y", "http://p.q/4").block);
    // Changing set3 empties the recent list, so the count starts again.
    s.block = true;
    s.set3 = 9;
    engine_->SetParams(s);
    EXPECT_TRUE(engine_->recent().empty());
    EXPECT_FALSE(Block("http://a.b/x", "http://p.q/5").block);
    // Keeping set2 and set3 keeps the recent list.
    engine_->SetParams(s);
    EXPECT_EQ(engine_->recent().size(), 1u);
}

TEST_F(Decision, SameSiteRuleNeedsEveryRecentRecordToMatch) {
    EngineSettings s;
    s.fromDomain = true;
    s.set2 = 2;
    DenyMode(s);
    Block("http://a.b/", "http://p.q/1");
    Block("http://c.d/", "http://p.q/2");
    EXPECT_FALSE(Block("http://a.b/", "http://p.q/3").block);
    s.block = true;
    s.set2 = 0;
    engine_->SetParams(s); // empties the recent list; a run of 0 always blocks
    EXPECT_TRUE(Block("http://a.b/", "http://p.q/4").block);
}

TEST_F(Decision, BurstRuleCountsPopupsWithinAMinute) {
    EngineSettings s;
    s.forMinutes = true;
    s.set3 = 2;
    DenyMode(s);
    EXPECT_FALSE(Block("http://a.b/", "http://p.q/1").block);
    now_ += 30;
    EXPECT_FALSE(Block("http://c.d/", "http://p.q/2").block);
    now_ += 20;
    EXPECT_TRUE(Block("http://e.f/", "http://p.q/3").block);
    now_ += 61;
    EXPECT_FALSE(Block("http://g.h/", "http://p.q/4").block);
}

TEST_F(Decision, RecentListKeepsTwentyNewestFirst) {
    Init();
    for (int i = 0; i < 25; ++i) {
        Block("http://a.b/", "http://p.q/" + std::to_string(i));
    }
    ASSERT_EQ(engine_->recent().size(), kRecentLimit);
    EXPECT_EQ(engine_->recent().front().popup, "http://p.q/24");
    EXPECT_EQ(engine_->recent().back().popup, "http://p.q/5");
}

TEST_F(Decision, ProcessDecisionFollowsBlockFlagAndLists) {
    Init(); // bBlock off: only allowed processes open
    EXPECT_FALSE(Block2("http://a.b/", "CLIENT.EXE").block);
    EXPECT_FALSE(Block2("http://a.b/", "explorer.exe").block);
    const BlockOutcome o = Block2("x\nhttp://a.b/c", "other.exe");
    EXPECT_TRUE(o.block);
    EXPECT_THAT(o.description, ElementsAre("other.exe", "http://a.b/c"));
    const BlockOutcome unknown = Block2("", "");
    EXPECT_THAT(unknown.description, ElementsAre("N/A", "N/A"));
    ASSERT_EQ(engine_->history().size(), 2u);
    EXPECT_EQ(engine_->history()[0].process, "N/A");
    EXPECT_EQ(engine_->history()[0].processCount, 0);
    EXPECT_EQ(engine_->history()[1].title, "N/A");
    EXPECT_EQ(engine_->history()[1].siteCount, 0);
    EXPECT_TRUE(engine_->recent().empty());

    EngineSettings s;
    s.block = true; // only denied processes are blocked
    engine_->SetParams(s);
    Add(ListKind::ProcessDeny, "bad.exe");
    EXPECT_FALSE(Block2("", "other.exe").block);
    EXPECT_TRUE(Block2("", "bad.exe").block);
    EXPECT_FALSE(Block2("", "explorer.exe").block);
}

// Only the history replaces what its file cannot hold; the description, the
// list look-ups and the recent list take the texts as given.
TEST_F(Decision, TextsWithTabsAreRecordedRepresentably) {
    Init();
    const BlockOutcome o = Block("http://a.b/", "http://p.q/\tx", "pr\toc", "Ti\ttle");
    EXPECT_THAT(o.description, ElementsAre("pr\toc", "http://a.b", "Ti\ttle", "http://p.q/\tx"));
    EXPECT_EQ(engine_->history().front().title, "Ti tle");
    EXPECT_EQ(engine_->history().front().popup, "http://p.q/ x");
    const auto reread = Reopen();
    EXPECT_EQ(reread->history().front().title, "Ti tle");
    EXPECT_EQ(reread->history().front().process, "pr oc");
    Add(ListKind::Popup, "p.q/\tx");
    EXPECT_FALSE(Block("http://a.b/", "http://p.q/\tx", "pr\toc", "Ti\ttle").block);
    // The let-open pop-up marks the record in the form the history holds.
    EXPECT_EQ(engine_->history().front().addressCount, kCountedLater);
}

} // namespace
} // namespace qlx::engine::testing
