#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "engine/tests/engine_fixture.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

constexpr int32_t kProcess = 0, kDomain = 1, kPopup = 2, kDomainDeny = 4, kPopupDeny = 8,
                  kProcessDeny = 16;

struct RecordingEvents : EngineEvents {
    bool answer = true;
    std::vector<std::string> calls;
    std::function<void()> handler; // what the client does from its handler
    bool AddTheSameInOppositeList(ListKind kind, std::string_view name) override {
        calls.push_back("opposite " + std::to_string(static_cast<int>(kind)) + " " +
                        std::string(name));
        if (handler) {
            handler();
        }
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

TEST_F(EngineInit, AProcessFileWithBytesCountsAsReadEvenWhenItEndsAtOnce) {
    folder_.Write("\\processes.lst", "\r\n+mine.exe\r\n");
    Init();
    EXPECT_TRUE(Names(ListKind::Process).empty());
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

// Files that another program holds while the engine reads them: the engine
// cannot tell what is in them, so it must not write them.
class LockingFiles final : public FileSystem {
public:
    explicit LockingFiles(FileSystem& files) : files_(files) {}
    std::set<std::string> locked; // names such as "\\urls.lst"
    std::optional<std::string> ReadOrCreate(const std::string& path) override {
        for (const std::string& name : locked) {
            if (path.ends_with(name)) {
                return std::nullopt;
            }
        }
        return files_.ReadOrCreate(path);
    }
    bool Replace(const std::string& path, std::string_view bytes) override {
        return files_.Replace(path, bytes);
    }
    bool MoveOver(const std::string& from, const std::string& to) override {
        return files_.MoveOver(from, to);
    }
    bool Exists(const std::string& path) override { return files_.Exists(path); }

private:
    FileSystem& files_;
};

TEST_F(EngineInit, FilesThatCouldNotBeReadAreNeverWrittenOver) {
    const std::string old = "2024-05-14 10:00:00\t1\t1\t1\t0\t0\t0\t0\tT\thttp://a.b\thttp://p.q/"
                            "x\tiexplore.exe\r\n";
    const std::map<std::string, std::string> saved = {{"\\processes.lst", "+mine.exe\r\n"},
                                                      {"\\domains.lst", "+a.com\r\n"},
                                                      {"\\svrurls.lst", "+x\r\n"},
                                                      {"\\urls.lst", "+w\r\n+x\r\n"},
                                                      {"\\history.log", old}};
    for (const auto& [name, bytes] : saved) {
        folder_.Write(name, bytes);
    }
    LockingFiles files(fs_);
    files.locked = {"\\processes.lst", "\\domains.lst", "\\history.log", "\\updurls.lst"};
    BlockingEngine engine(files, [this] { return now_; });
    ASSERT_EQ(engine.Init("client.exe", folder_.path(), false, {}), Status::Ok);
    EXPECT_TRUE(engine.IsAllDefPresent()); // in memory only
    bool inserted = false;
    int32_t pos = 0;
    ASSERT_EQ(engine.AddToList(kDomain, "b.com", inserted, pos), Status::Ok);
    ASSERT_EQ(engine.AddToList(kProcess, "x.exe", inserted, pos), Status::Ok);
    // An update file that cannot be read withdraws nothing and replaces nothing.
    folder_.Write("\\updurls.lst", "");
    ASSERT_EQ(engine.AddUpdateObj(kPopup), Status::Ok);
    BlockOutcome outcome;
    ASSERT_EQ(engine.Block("T", "http://a.b/c", "http://p.q/x", "iexplore.exe", {}, outcome),
              Status::Ok);
    ASSERT_TRUE(outcome.block);
    ASSERT_EQ(engine.SaveParams(), Status::Ok);
    for (const auto& [name, bytes] : saved) {
        EXPECT_EQ(folder_.Read(name), bytes) << name;
    }
    EXPECT_TRUE(folder_.Exists("\\updurls.lst"));

    // Once the history can be read, its records go below the ones added
    // meanwhile, and the counters are those of one history.
    files.locked.clear();
    ASSERT_EQ(engine.Block("T", "http://a.b/c", "http://p.q/x", "iexplore.exe", {}, outcome),
              Status::Ok);
    const auto reread = Reopen();
    ASSERT_EQ(reread->history().size(), 3u);
    EXPECT_EQ(reread->history()[0].siteCount, 3);
    EXPECT_EQ(reread->history()[0].addressCount, 3);
    EXPECT_EQ(reread->history()[0].processCount, -1); // a default process
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(reread->history()[i].siteCount, kCountedLater);
        EXPECT_EQ(reread->history()[i].processCount, kCountedLater);
    }
    EXPECT_EQ(reread->history()[2].time, "2024-05-14 10:00:00");
}

// Code page 932: 0x83 0x41 and 0x83 0x61 are two characters; 0x5C is the
// second byte of 0x95 0x5C.
TEST_F(EngineInit, DoubleByteNamesKeepEveryByte) {
    const LeadBytes sjis =
        LeadBytes::From([](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || c >= 0xE0; });
    engine_->SetLeadBytes(sjis);
    folder_.Write("\\processes.lst", "+\x83\x61.EXE\r\n+\x83\x41.EXE\r\n");
    Init();
    EXPECT_THAT(Names(ListKind::Process), ElementsAre("\x83\x41.exe", "\x83\x61.exe"));
    EXPECT_EQ(folder_.Read("\\processes.lst"), "+\x83\x41.exe\r\n+\x83\x61.exe\r\n");
    EXPECT_EQ(Add(ListKind::Process, "\x83\x41.Exe"), -1);
    EXPECT_EQ(engine_->GetIndexByName(kProcess, "\x83\x61.exe"), 1);

    for (const char* folder : {"\\\x95\x5C", "\\\x95\x5C\\"}) {
        BlockingEngine other(fs_);
        other.SetLeadBytes(sjis);
        ASSERT_EQ(other.Init("c.exe", folder_.path() + "/none" + folder, false, {}), Status::Ok);
        EXPECT_EQ(other.dataFolder(), folder_.path() + "/none\\\x95\x5C");
    }
}

using EngineLists = EngineTest;

// The client's handler may change the lists while the engine waits for its
// answer: the engine looks again afterwards.
TEST_F(EngineLists, HandlersThatChangeTheListsAreSeenAfterTheirAnswer) {
    Init();
    RecordingEvents events;
    engine_->SetEvents(&events);
    Add(ListKind::PopupDeny, "x.com");
    Add(ListKind::PopupDeny, "m.com");
    events.handler = [&] {
        events.handler = nullptr;
        Add(ListKind::Popup, "x.com"); // the same name, from inside the handler
    };
    bool inserted = true;
    int32_t pos = 0;
    ASSERT_EQ(engine_->AddToList(kPopup, "X.com", inserted, pos), Status::Ok);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("x.com"));
    EXPECT_FALSE(inserted);

    for (const char* n : {"b", "c"}) {
        Add(ListKind::Popup, n);
    }
    // Entries inserted before the edited one move it.
    events.handler = [&] { Add(ListKind::Popup, "a"); };
    bool done = false;
    ASSERT_EQ(engine_->EditInList(kPopup, 1, "m.com", true, done), Status::Ok);
    EXPECT_TRUE(done);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("a", "b", "m.com", "x.com"));
    // The edited entry deleted by the handler: nothing else is renamed.
    events.handler = [&] {
        std::vector<int32_t> gone = {1};
        engine_->DeleteFromList(kPopup, gone);
    };
    Add(ListKind::PopupDeny, "q.com");
    ASSERT_EQ(engine_->EditInList(kPopup, 1, "q.com", true, done), Status::Ok);
    EXPECT_FALSE(done);
    EXPECT_THAT(Names(ListKind::Popup), ElementsAre("a", "m.com", "x.com"));
}

// Positions resolved at once give what removing one at a time gives.
TEST_F(EngineLists, DeletionEqualsRemovingOneAtATime) {
    Init();
    std::vector<std::string> model;
    std::mt19937 rng(5);
    for (int round = 0; round < 150; ++round) {
        while (model.size() < 8) {
            const std::string n = "n" + std::to_string(rng() % 1000);
            if (Add(ListKind::Popup, n) >= 0) {
                model.insert(std::upper_bound(model.begin(), model.end(), n), n);
            }
        }
        std::vector<int32_t> positions;
        for (int i = static_cast<int>(rng() % 5); i > 0; --i) {
            positions.push_back(static_cast<int32_t>(rng() % 10) - 1);
        }
        std::vector<std::string> expected = model;
        std::vector<int32_t> adjusted = positions;
        bool valid = true;
        for (size_t i = 0; i < adjusted.size() && valid; ++i) {
            valid = adjusted[i] >= 0 && adjusted[i] < static_cast<int32_t>(expected.size());
            if (valid) {
                expected.erase(expected.begin() + adjusted[i]);
                for (size_t j = i + 1; j < adjusted.size(); ++j) {
                    adjusted[j] -= adjusted[j] > adjusted[i] ? 1 : 0;
                }
            }
        }
        const Status s = engine_->DeleteFromList(kPopup, positions);
        ASSERT_EQ(s, valid ? Status::Ok : Status::InvalidArg) << "round " << round;
        if (valid) {
            model = expected;
            EXPECT_EQ(positions, adjusted);
        }
        ASSERT_EQ(Names(ListKind::Popup), model) << "round " << round;
    }
}

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
