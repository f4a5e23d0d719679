#pragma once
// The blocking engine behind the WXEngine class: lists and their files, the
// block decision with its recent list, the history with its counters, and
// the statistics. Narrow texts (ANSI code page) throughout; the COM shell
// converts, maps Status to HRESULTs and builds the arrays.
#include <array>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/engine_peers.h"
#include "engine/core/file_system.h"
#include "engine/core/history_record.h"
#include "engine/core/list_kind.h"
#include "engine/core/name_list.h"

namespace qlx::engine {

enum class Status {
    Ok,
    InvalidArg, // a position outside a list or the history, a kind outside the allowed ones
    NotReady,   // before EngineInit, or a second EngineInit
};

struct EngineSettings {
    bool block = false;
    bool forMinutes = false;
    bool fromDomain = false;
    bool normWindows = false;
    bool fit = false;
    bool addBorder = false;
    bool addMenu = false;
    int32_t set1 = 0;
    int32_t set2 = 0;
    int32_t set3 = 0;
};

struct PopupGeometry {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// A recent pop-up: what the same-site and burst rules read back (the time as
// a number, so it needs no reading back from text).
struct RecentRecord {
    std::time_t when = 0;
    std::string site;
    std::string popup;
    int32_t sameSite = 0;
    int32_t burst = 0;
};

struct BlockOutcome {
    bool block = false;
    // WXBlock: process, site, title, pop-up address; WXBlock2: process, opener address.
    std::vector<std::string> description;
};

inline constexpr size_t kRecentLimit = 20;

// The recent pop-ups, newest first, at most kRecentLimit: a ring whose slots
// keep their strings' storage, so adding a record allocates nothing.
class RecentList {
public:
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const RecentRecord& operator[](size_t i) const { return slots_[(head_ + i) % kRecentLimit]; }
    const RecentRecord& front() const { return (*this)[0]; }
    const RecentRecord& back() const { return (*this)[count_ - 1]; }
    void clear() { count_ = 0; }
    // A new newest record; the oldest is dropped when full. The slot reused
    // is the oldest record's: if copying the texts fails, that record is
    // dropped and the list is otherwise as it was.
    void PushFront(std::time_t when, std::string_view site, std::string_view popup,
                   int32_t sameSite, int32_t burst) {
        const size_t slot = (head_ + kRecentLimit - 1) % kRecentLimit;
        RecentRecord& r = slots_[slot];
        try {
            r.site.assign(site);
            r.popup.assign(popup);
        } catch (...) {
            if (count_ == kRecentLimit) {
                --count_;
            }
            throw;
        }
        r.when = when;
        r.sameSite = sameSite;
        r.burst = burst;
        head_ = slot;
        if (count_ < kRecentLimit) {
            ++count_;
        }
    }

private:
    std::array<RecentRecord, kRecentLimit> slots_{};
    size_t head_ = 0;
    size_t count_ = 0;
};

class BlockingEngine {
public:
    using Clock = std::function<std::time_t()>;

    explicit BlockingEngine(FileSystem& files, Clock clock = nullptr);

    // Peers are not owned; null detaches.
    void SetEvents(EngineEvents* events) { events_ = events; }
    void SetBrowser(BrowserLauncher* browser) { browser_ = browser; }
    // The lead bytes of the code page the texts come in (single-byte when
    // never set). Only the single-byte letters fold.
    void SetLeadBytes(const LeadBytes& lead) { lead_ = lead; }

    // --- set-up ---------------------------------------------------------
    // Once per object: a second call is refused with NotReady and changes nothing.
    Status Init(std::string_view ownProcess, std::string_view dataFolder, bool fullLogic,
                const EngineSettings& settings);
    // Changing set2 or set3 empties the recent list. Refused before Init,
    // which sets them itself.
    Status SetParams(const EngineSettings& settings);
    Status SaveParams();
    bool initialised() const { return initialised_; }
    const EngineSettings& settings() const { return settings_; }

    // --- lists ----------------------------------------------------------
    // Operations taking a raw list kind answer InvalidArg for values outside
    // the six (outside the four server kinds where a server list is needed).
    Status GetList(int32_t kind, const NameList*& list) const;
    Status AddToList(int32_t kind, std::string_view name, bool& inserted, int32_t& position);
    // The edited entry moves to its sorted place, so lookups stay exact.
    Status EditInList(int32_t kind, int32_t index, std::string_view newName, bool newCheck,
                      bool& done);
    // All positions are checked before the first removal; on success the
    // array holds the adjusted positions as they were processed (each later
    // position above a removed one moved down by one).
    Status DeleteFromList(int32_t kind, std::vector<int32_t>& positions);
    Status IsItemPresent(int32_t kind, std::string_view name, bool& present) const;
    // Any value outside the six kinds selects the allowed processes. These
    // and GetTop10Ex answer from the empty lists before Init.
    int32_t GetIndexByName(int32_t kind, std::string_view name) const;
    std::string GetNameByIndex(int32_t kind, int32_t index) const;
    bool GetCheckOfItem(int32_t kind, int32_t index) const;
    void SetCheckOfItem(int32_t kind, int32_t index, bool check);

    bool IsProcDefault(std::string_view name) const;
    bool IsAllDefPresent() const;
    Status AddDefault();
    Status AddDefaultObj(int32_t kind);
    Status IsAllDefObj(int32_t kind, bool& all) const;
    Status IsServerObject(int32_t kind, int32_t index, bool& isServer) const;
    Status AddUpdateObj(int32_t kind);
    Status OpenFromList(int32_t kind, int32_t index);

    // --- decision -------------------------------------------------------
    Status Block(std::string_view parentTitle, std::string_view parentUrl,
                 std::string_view popupUrl, std::string_view process, const PopupGeometry& g,
                 BlockOutcome& outcome);
    Status Block2(std::string_view parentUrl, std::string_view process, const PopupGeometry& g,
                  BlockOutcome& outcome);

    // --- history --------------------------------------------------------
    const std::deque<HistoryRecord>& history() const { return history_; }
    const RecentList& recent() const { return recent_; }
    Status AddToListFromHistory(int32_t kind, int32_t index, bool& inserted, int32_t& position);
    // Positions refer to the history before the call; a position listed twice
    // removes its record once. Nothing is removed when one is out of range.
    Status DeleteFromHistory(std::vector<int32_t> positions);
    Status OpenFromHistory(int32_t index);
    Status OpenLastPopup(bool& opened);

    // Statistics and rankings (history_stats.h).
    Status GetStatistics(bool withProcesses, std::vector<int32_t>& values) const;
    Status GetTop10(std::vector<std::string>& sites) const;
    Status GetTop10Ex(std::vector<std::string>& sites, std::vector<int32_t>& counts) const;
    Status GetUniqueDomains(std::vector<std::string>& sites) const;

    const NameList& ServerList(ListKind kind) const;
    const std::string& dataFolder() const { return dataFolder_; }

private:
    // Every operation but Init runs through one of these: NotReady before
    // Init, InvalidArg for a list kind the operation does not take.
    template <typename Op> Status WhenReady(Op&& op) const {
        return initialised_ ? op() : Status::NotReady;
    }
    template <typename Op> Status WhenReady(std::optional<ListKind> kind, Op&& op) const {
        if (!initialised_) {
            return Status::NotReady;
        }
        return kind ? op(*kind) : Status::InvalidArg;
    }

    NameList& UserList(ListKind kind) { return lists_[static_cast<size_t>(KindIndex(kind))]; }
    const NameList& UserList(ListKind kind) const {
        return lists_[static_cast<size_t>(KindIndex(kind))];
    }
    NameList& Server(ListKind kind) { return servers_[static_cast<size_t>(KindIndex(kind))]; }
    const NameList& SelectForEx(int32_t kind) const;
    std::optional<ListKind> ServerKind(int32_t kind) const;

    std::string PathOf(std::string_view fileName) const;
    enum class FileRead { Read, Empty, Unreadable };
    // Reads a list file into `list` (left empty unless Read).
    FileRead ReadListFile(std::string_view fileName, NameList& list);
    // Lists whose files could not be read are not written: that would put an
    // empty list in place of the user's.
    void SaveLists();
    void WriteHistory();
    void LoadHistory();
    // The history file could not be read when the engine started: once it
    // can be, its records go below the ones added since.
    bool CatchUpHistory();
    // Walks records [from, history_.size()) as the adding algorithm does:
    // marks the ones sharing a counted value and counts them.
    void MarkOlder(size_t from, std::string_view process, std::string_view site,
                   std::string_view popup, bool compareAddress, int32_t& processCount,
                   int32_t& siteCount, int32_t& addressCount);

    bool RejectsName(std::string_view name) const;
    const std::string& NowText();
    std::time_t Now() const { return clock_(); }

    // Adds a recent record, a history record (with `geometry`) or both, after
    // one walk that marks the older history records of the same values.
    void AddRecord(std::string_view title, std::string_view site, std::string_view popup,
                   std::string_view process, bool processOnly, bool recent,
                   const PopupGeometry* geometry);
    bool SameSiteRuleBlocks(std::string_view site) const;
    bool BurstRuleBlocks() const;

    void OpenAddress(const std::string& address);

    FileSystem& files_;
    Clock clock_;
    EngineEvents* events_ = nullptr;
    BrowserLauncher* browser_ = nullptr;

    LeadBytes lead_;
    std::array<NameList, 6> lists_;
    std::array<NameList, 6> servers_;  // entries only for the four server kinds
    std::array<bool, 6> unreadable_{}; // per user list: its file could not be read
    bool historyRead_ = false;
    std::deque<HistoryRecord> history_;
    // The file line of each history record, kept while its counters stay as
    // they are: a block rewrites the whole file, but changes few lines.
    std::deque<std::string> historyLines_;
    RecentList recent_;

    bool initialised_ = false;
    bool fullLogic_ = false;
    EngineSettings settings_;
    std::string ownProcess_;
    std::string dataFolder_;
    std::vector<std::string> defaultProcesses_;

    std::time_t cachedSecond_ = -1;
    std::string cachedTimeText_;
    std::string historyBuffer_; // reused: the history is rewritten on every block
    // The prepared texts of the decision in progress (storage kept between calls).
    std::string titleText_, siteText_, popupText_, processText_;
};

// The address trimming of common/core/address.h (TrimAddress, CutToSite) on
// views, for the decision's hot path: no allocation.
std::string_view CleanedAddress(std::string_view address);
std::string_view SiteOf(std::string_view address);

// The seven processes that seed a new allowed-process list.
extern const std::array<const char*, 7> kDefaultProcesses;

} // namespace qlx::engine
