#include <gtest/gtest.h>

#include "engine/tests/engine_fixture.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

constexpr int32_t kProcess = 0, kDomain = 1, kPopup = 2, kDomainDeny = 4, kPopupDeny = 8,
                  kProcessDeny = 16;

struct RecordingEvents : EngineEvents {
    bool answer = true;
    std::vector<std::string> calls;
    bool AddTheSameInOppositeList(ListKind kind, std::string_view name) override {
        calls.push_back("opposite " + std::to_string(static_cast<int>(kind)) + " " +
                        std::string(name));
        return answer;
    }
    void AddTheSameInList(ListKind kind, std::string_view name) override {
        calls.push_back("same " + std::to_string(static_cast<int>(kind)) + " " + std::string(name));
    }
};

using EngineInit = EngineTest;

TEST_F(EngineInit, NewFolderGetsDefaultProcessesAndEveryListFile) {
    Init();
    EXPECT_THAT(Names(ListKind::Process),
                ElementsAre("explorer.exe", "iexplore.exe", "rpcss.exe", "svchost.exe",
                            "taskmgr.exe", "userinit.exe", "winlogon.exe"));
    EXPECT_EQ(folder_.Read("\\processes.lst"),
              "+explorer.exe\r\n+iexplore.exe\r\n+rpcss.exe\r\n+svchost.exe\r\n+taskmgr.exe\r\n"
              "+userinit.exe\r\n+winlogon.exe\r\n");
    for (const char* f : {"\\denyprocesses.lst", "\\domains.lst", "\\urls.lst", "\\denydomains.lst",
                          "\\denyurls.lst", "\\svrdomains.lst", "\\svrdenydomains.lst",
                          "\\svrurls.lst", "\\svrdenyurls.lst", "\\history.log"}) {
        EXPECT_TRUE(folder_.Exists(f)) << f;
    }
    EXPECT_TRUE(engine_->IsAllDefPresent());
}

TEST_F(EngineInit, ReadsListFilesAndRewritesThemLowered) {
    folder_.Write("\\urls.lst", "+B.com\r\n-a.com\r\n");
    folder_.Write("\\processes.lst", "+mine.exe\r\n");
    Init();
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("a.com", "b.com"));
    EXPECT_THAT(Names(ListKind::Process), ElementsAre("mine.exe"));
    EXPECT_EQ(folder_.Read("\\urls.lst"), "-a.com\r\n+b.com\r\n");
    EXPECT_FALSE(engine_->IsAllDefPresent());
}

TEST_F(EngineInit, HappensOnceAndNothingRunsBeforeIt) {
    bool flag = false;
    int32_t pos = 0;
    BlockOutcome outcome;
    EXPECT_EQ(engine_->AddToList(kPopup, "x", flag, pos), Status::NotReady);
    EXPECT_EQ(engine_->Block("t", "http://a.b", "http://c.d", "p", {}, outcome), Status::NotReady);
    EXPECT_FALSE(outcome.block);
    EXPECT_EQ(engine_->SaveParams(), Status::NotReady);
    EXPECT_FALSE(folder_.Exists("\\history.log")); // nothing written into an unknown folder
    Init();
    TempFolder other;
    EXPECT_EQ(engine_->Init("x.exe", other.path(), true, {}), Status::NotReady);
    EXPECT_EQ(engine_->dataFolder(), folder_.path());
    EXPECT_FALSE(other.Exists("\\processes.lst"));
    EXPECT_EQ(Names(ListKind::Process).size(), 7u); // defaults not appended twice
}

using EngineLists = EngineTest;

TEST_F(EngineLists, AddInsertsSortedAndSaves) {
    Init();
    EXPECT_EQ(Add(ListKind::Domain, "b.com"), 0);
    EXPECT_EQ(Add(ListKind::Domain, "A.com"), 0);
    EXPECT_EQ(Add(ListKind::Domain, "c.com"), 2);
    EXPECT_EQ(folder_.Read("\\domains.lst"), "+A.com\r\n+b.com\r\n+c.com\r\n");
    EXPECT_THAT(Reopen()->GetNameByIndex(kDomain, 0), "a.com"); // lowered when read again
}

TEST_F(EngineLists, AddOfAPresentNameNotifiesOrReactivates) {
    Init();
    RecordingEvents events;
    engine_->SetEvents(&events);
    Add(ListKind::Popup, "x.com");
    bool inserted = true;
    int32_t pos = 0;
    ASSERT_EQ(engine_->AddToList(kPopup, "X.COM/", inserted, pos), Status::Ok);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(pos, -1);
    EXPECT_THAT(events.calls, ElementsAre("same 2 X.COM/"));

    engine_->SetCheckOfItem(kPopup, 0, false);
    ASSERT_EQ(engine_->AddToList(kPopup, "x.com", inserted, pos), Status::Ok);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(pos, 0);
    EXPECT_TRUE(engine_->GetCheckOfItem(kPopup, 0));
}

TEST_F(EngineLists, AddAsksBeforeAddingANameOfTheOppositeList) {
    Init();
    RecordingEvents events;
    engine_->SetEvents(&events);
    Add(ListKind::PopupDeny, "x.com");
    events.answer = false;
    bool inserted = true;
    int32_t pos = 0;
    ASSERT_EQ(engine_->AddToList(kPopup, "x.com", inserted, pos), Status::Ok);
    EXPECT_FALSE(inserted);
    EXPECT_EQ(pos, -1);
    EXPECT_TRUE(Names(ListKind::Popup).empty());
    EXPECT_EQ(folder_.Read("\\urls.lst"), "");

    events.answer = true;
    ASSERT_EQ(engine_->AddToList(kPopup, "x.com", inserted, pos), Status::Ok);
    EXPECT_TRUE(inserted);
    EXPECT_EQ(pos, 0);
    EXPECT_THAT(Names(ListKind::PopupDeny), ElementsAre("x.com")); // stays in the opposite list
    EXPECT_THAT(events.calls, ElementsAre("opposite 2 x.com", "opposite 2 x.com"));
}

TEST_F(EngineLists, UnknownKindsAndLineBreaksAreRefusedWithoutChange) {
    Init();
    bool flag = true;
    int32_t pos = 0;
    for (int32_t kind : {3, 5, 32, -1}) {
        EXPECT_EQ(engine_->AddToList(kind, "x", flag, pos), Status::InvalidArg) << kind;
        EXPECT_EQ(engine_->IsItemPresent(kind, "x", flag), Status::InvalidArg);
    }
    for (int32_t kind : {kProcess, kProcessDeny, 3}) {
        EXPECT_EQ(engine_->AddDefaultObj(kind), Status::InvalidArg) << kind;
        EXPECT_EQ(engine_->AddUpdateObj(kind), Status::InvalidArg);
        EXPECT_EQ(engine_->IsAllDefObj(kind, flag), Status::InvalidArg);
    }
    EXPECT_EQ(engine_->AddToList(kPopup, "a\r\nb", flag, pos), Status::InvalidArg);
    EXPECT_TRUE(Names(ListKind::Popup).empty());
    EXPECT_FALSE(folder_.Exists("\\updprocesses.lst"));
}

TEST_F(EngineLists, EditMovesTheEntryToItsSortedPlaceSoLookupStaysExact) {
    Init();
    for (const char* n : {"a.com", "c.com", "e.com", "g.com"}) {
        Add(ListKind::Domain, n);
    }
    bool done = false;
    ASSERT_EQ(engine_->EditInList(kDomain, 0, "F.com", false, done), Status::Ok);
    EXPECT_TRUE(done);
    EXPECT_THAT(Names(ListKind::Domain), ElementsAre("c.com", "e.com", "F.com", "g.com"));
    EXPECT_FALSE(engine_->GetCheckOfItem(kDomain, 2));
    bool present = false;
    for (const char* n : {"c.com", "e.com", "f.com", "g.com"}) {
        engine_->IsItemPresent(kDomain, n, present);
        EXPECT_TRUE(present) << n;
    }
    engine_->IsItemPresent(kDomain, "a.com", present);
    EXPECT_FALSE(present);
    EXPECT_EQ(folder_.Read("\\domains.lst"), "+c.com\r\n+e.com\r\n-F.com\r\n+g.com\r\n");
    // Only the check changes: same name in another case.
    ASSERT_EQ(engine_->EditInList(kDomain, 0, "C.COM", false, done), Status::Ok);
    EXPECT_THAT(Names(ListKind::Domain), ElementsAre("C.COM", "e.com", "F.com", "g.com"));
}

TEST_F(EngineLists, EditRefusesDuplicatesBadPositionsAndVetoedNames) {
    Init();
    RecordingEvents events;
    engine_->SetEvents(&events);
    Add(ListKind::Domain, "a.com");
    Add(ListKind::Domain, "b.com");
    Add(ListKind::DomainDeny, "z.com");
    bool done = true;
    EXPECT_EQ(engine_->EditInList(kDomain, 2, "q", true, done), Status::InvalidArg);
    EXPECT_EQ(engine_->EditInList(kDomain, -1, "q", true, done), Status::InvalidArg);
    ASSERT_EQ(engine_->EditInList(kDomain, 0, "B.com/", true, done), Status::Ok);
    EXPECT_FALSE(done);
    events.answer = false;
    ASSERT_EQ(engine_->EditInList(kDomain, 0, "z.com", true, done), Status::Ok);
    EXPECT_FALSE(done);
    EXPECT_THAT(Names(ListKind::Domain), ElementsAre("a.com", "b.com"));
    EXPECT_THAT(events.calls, ElementsAre("same 1 B.com/", "opposite 1 z.com"));
}

TEST_F(EngineLists, DeleteAdjustsLaterPositionsAndIsAllOrNothing) {
    Init();
    for (const char* n : {"a", "b", "c"}) {
        Add(ListKind::Popup, n);
    }
    std::vector<int32_t> bad = {0, 5};
    EXPECT_EQ(engine_->DeleteFromList(kPopup, bad), Status::InvalidArg);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("a", "b", "c"));
    std::vector<int32_t> tooMany = {2, 1, 0, 0};
    EXPECT_EQ(engine_->DeleteFromList(kPopup, tooMany), Status::InvalidArg);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("a", "b", "c"));

    std::vector<int32_t> positions = {1, 2};
    ASSERT_EQ(engine_->DeleteFromList(kPopup, positions), Status::Ok);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("a"));
    EXPECT_THAT(positions, ElementsAre(1, 1));
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+a\r\n");
}

TEST_F(EngineLists, ExAccessorsFallBackToProcessesForOtherKinds) {
    Init();
    Add(ListKind::Popup, "x.com/");
    EXPECT_EQ(engine_->GetIndexByName(kPopup, "X.COM/"), 0);
    EXPECT_EQ(engine_->GetIndexByName(kPopup, "x.com"), -1); // whole names, no "/" removal
    EXPECT_EQ(engine_->GetIndexByName(99, "svchost.exe"), 3);
    EXPECT_EQ(engine_->GetNameByIndex(99, 0), "explorer.exe");
    EXPECT_EQ(engine_->GetNameByIndex(kPopup, 1), "");
    EXPECT_EQ(engine_->GetNameByIndex(kPopup, -1), "");
    EXPECT_FALSE(engine_->GetCheckOfItem(kPopup, 7));
    engine_->SetCheckOfItem(kPopup, 0, false);
    EXPECT_FALSE(engine_->GetCheckOfItem(kPopup, 0));
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+x.com/\r\n"); // not saved by SetCheck
    ASSERT_EQ(engine_->SaveParams(), Status::Ok);
    EXPECT_EQ(folder_.Read("\\urls.lst"), "-x.com/\r\n");
}

TEST_F(EngineLists, DefaultProcessesCanBeRestored) {
    Init();
    EXPECT_TRUE(engine_->IsProcDefault("SVCHOST.EXE"));
    EXPECT_FALSE(engine_->IsProcDefault("notepad.exe"));
    std::vector<int32_t> first = {0};
    engine_->DeleteFromList(kProcess, first);
    engine_->SetCheckOfItem(kProcess, 0, false);
    EXPECT_FALSE(engine_->IsAllDefPresent());
    ASSERT_EQ(engine_->AddDefault(), Status::Ok);
    EXPECT_TRUE(engine_->IsAllDefPresent());
    EXPECT_EQ(Names(ListKind::Process).size(), 7u);
}

TEST_F(EngineLists, ServerListsMergeIntoUserLists) {
    folder_.Write("\\svrurls.lst", "+s1\r\n-s2\r\n");
    Init();
    Add(ListKind::Popup, "s2");
    engine_->SetCheckOfItem(kPopup, 0, false);
    bool flag = false;
    ASSERT_EQ(engine_->IsAllDefObj(kPopup, flag), Status::Ok);
    EXPECT_FALSE(flag);
    ASSERT_EQ(engine_->IsServerObject(kPopup, 0, flag), Status::Ok);
    EXPECT_TRUE(flag);
    EXPECT_EQ(engine_->IsServerObject(kPopup, 1, flag), Status::InvalidArg);
    ASSERT_EQ(engine_->AddDefaultObj(kPopup), Status::Ok);
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+s1\r\n+s2\r\n");
    ASSERT_EQ(engine_->IsAllDefObj(kPopup, flag), Status::Ok);
    EXPECT_TRUE(flag);
    ASSERT_EQ(engine_->IsAllDefObj(kDomain, flag), Status::Ok); // empty server list
    EXPECT_TRUE(flag);
}

TEST_F(EngineLists, UpdateReplacesTheServerListAndWithdrawsItsEntries) {
    folder_.Write("\\svrurls.lst", "+x\r\n+y\r\n");
    folder_.Write("\\urls.lst", "+x\r\n+y\r\n+w\r\n");
    Init();
    folder_.Write("\\updurls.lst", "+y\r\n+z\r\n");
    ASSERT_EQ(engine_->AddUpdateObj(kPopup), Status::Ok);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("w", "y", "z"));
    EXPECT_TRUE(engine_->GetCheckOfItem(kPopup, 2));
    ASSERT_EQ(engine_->ServerList(ListKind::Popup).size(), 2);
    EXPECT_EQ(engine_->ServerList(ListKind::Popup)[1].name, "z");
    EXPECT_FALSE(folder_.Exists("\\updurls.lst"));
    EXPECT_EQ(folder_.Read("\\svrurls.lst"), "+y\r\n+z\r\n");
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+w\r\n+y\r\n+z\r\n");
}

TEST_F(EngineLists, UpdateWithoutAnUpdateFileEmptiesTheServerList) {
    folder_.Write("\\svrdenydomains.lst", "+x\r\n");
    folder_.Write("\\denydomains.lst", "+x\r\n+mine\r\n");
    Init();
    ASSERT_EQ(engine_->AddUpdateObj(kDomainDeny), Status::Ok);
    EXPECT_THAT(Names(ListKind::DomainDeny), ElementsAre("mine"));
    EXPECT_TRUE(engine_->ServerList(ListKind::DomainDeny).empty());
    EXPECT_TRUE(folder_.Exists("\\svrdenydomains.lst"));
    EXPECT_EQ(folder_.Read("\\svrdenydomains.lst"), "");
    EXPECT_FALSE(folder_.Exists("\\upddenydomains.lst"));
}

TEST_F(EngineLists, SavingLeavesNoTemporaryFilesBehind) {
    Init();
    Add(ListKind::Popup, "a");
    ASSERT_EQ(engine_->SaveParams(), Status::Ok);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder_.path())) {
        EXPECT_EQ(e.path().extension() == ".lst" || e.path().extension() == ".log", true)
            << e.path();
        ++files;
    }
    EXPECT_EQ(files, 11);
}

TEST_F(EngineLists, OpenFromListChecksThePosition) {
    Init();
    EXPECT_EQ(engine_->OpenFromList(kPopup, 0), Status::InvalidArg);
    EXPECT_EQ(engine_->OpenFromList(kDomainDeny, -1), Status::InvalidArg);
    EXPECT_EQ(engine_->OpenFromList(kPopupDeny, 0), Status::InvalidArg);
}

} // namespace
} // namespace qlx::engine::testing
