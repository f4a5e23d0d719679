// Set-up, files and the list operations of the blocking engine.
#include "engine/core/engine.h"

#include <algorithm>
#include <atomic>

#include "common/core/text.h"
#include "engine/core/fast_text.h"
#include "engine/core/history_file.h"
#include "engine/core/list_file.h"
#include "engine/core/time_text.h"

namespace qlx::engine {

const std::array<const char*, 7> kDefaultProcesses = {
    "explorer.exe", "iexplore.exe", "rpcss.exe",   "svchost.exe",
    "taskmgr.exe",  "userinit.exe", "winlogon.exe"};

namespace {

constexpr std::string_view kHistoryFile = "\\history.log";

// One flag for the whole process: a history write that starts while another
// is under way is skipped.
std::atomic<bool> g_historyWriteBusy{false};

std::time_t SystemNow() {
    return std::time(nullptr);
}

// Positions processed in order, each later one above a removed position moved
// down by one, keep naming the entry they named, or once it is gone the next
// one left: each resolves to the number of entries left below its original
// value. A Fenwick tree over the entries left answers that in log time.
bool ResolveDeletions(int32_t count, std::vector<int32_t>& positions, std::vector<bool>& removed) {
    const size_t n = static_cast<size_t>(count);
    removed.assign(n, false);
    std::vector<int32_t> tree(n + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
        tree[i] += 1;
        const size_t parent = i + (i & (~i + 1));
        if (parent <= n) {
            tree[parent] += tree[i];
        }
    }
    const auto leftBelow = [&](size_t end) { // entries left in [0, end)
        int32_t sum = 0;
        for (size_t i = end; i > 0; i -= i & (~i + 1)) {
            sum += tree[i];
        }
        return sum;
    };
    size_t top = 1;
    while (top * 2 <= n) {
        top *= 2;
    }
    int32_t left = count;
    for (int32_t& p : positions) {
        if (p < 0 || p >= count) {
            return false;
        }
        const int32_t rank = leftBelow(static_cast<size_t>(p));
        if (rank >= left) {
            return false;
        }
        // The entry left at `rank`: descend the tree.
        size_t at = 0;
        int32_t remaining = rank + 1;
        for (size_t step = n == 0 ? 0 : top; step > 0; step /= 2) {
            if (at + step <= n && tree[at + step] < remaining) {
                at += step;
                remaining -= tree[at];
            }
        }
        removed[at] = true;
        for (size_t i = at + 1; i <= n; i += i & (~i + 1)) {
            tree[i] -= 1;
        }
        --left;
        p = rank;
    }
    return true;
}

// The entry `before` after a client's handler ran: still at `index`, or at
// the first place holding the same name and check; -1 when it is gone.
int32_t FindEntryAgain(const NameList& list, const ListEntry& before, int32_t index) {
    if (list.Contains(index) && list[index] == before) {
        return index;
    }
    for (int32_t i = list.FindFirst(before.name); i >= 0 && i < list.size(); ++i) {
        if (list.Compare(list[i].name, before.name) != 0) {
            break;
        }
        if (list[i] == before) {
            return i;
        }
    }
    return -1;
}

} // namespace

BlockingEngine::BlockingEngine(FileSystem& files, Clock clock)
    : files_(files), clock_(clock ? std::move(clock) : Clock(SystemNow)) {
    for (size_t i = 0; i < lists_.size(); ++i) {
        lists_[i] = NameList(&lead_);
        servers_[i] = NameList(&lead_);
    }
}

Status BlockingEngine::Init(std::string_view ownProcess, std::string_view dataFolder,
                            bool fullLogic, const EngineSettings& settings) {
    if (initialised_) {
        return Status::NotReady;
    }
    fullLogic_ = fullLogic;
    ownProcess_ = std::string(ownProcess);
    // A "\\" that is the second byte of a double-byte character stays.
    dataFolder_ = std::string(WithoutTrailingChar(dataFolder, '\\', lead_));
    if (dataFolder_.size() == dataFolder.size()) {
        dataFolder_ = std::string(WithoutTrailingChar(dataFolder, '/', lead_));
    }
    defaultProcesses_.assign(kDefaultProcesses.begin(), kDefaultProcesses.end());

    bool processesRead = false;
    for (ListKind kind : kSaveOrder) {
        const FileRead read = ReadListFile(UserFileName(kind), UserList(kind));
        unreadable_[static_cast<size_t>(KindIndex(kind))] = read == FileRead::Unreadable;
        processesRead = processesRead || (kind == ListKind::Process && read == FileRead::Read);
    }
    // A new, empty or unreadable (then unwritten) file brings the defaults;
    // a file with bytes counts as read even when its first line ends it.
    NameList& processes = UserList(ListKind::Process);
    if (!processesRead) {
        for (const std::string& name : defaultProcesses_) {
            processes.InsertSorted(name, 1);
        }
    }
    for (ListKind kind :
         {ListKind::Domain, ListKind::DomainDeny, ListKind::Popup, ListKind::PopupDeny}) {
        ReadListFile(ServerFileName(kind), Server(kind));
    }
    SaveLists();
    LoadHistory();
    initialised_ = true;
    SetParams(settings);
    return Status::Ok;
}

Status BlockingEngine::SetParams(const EngineSettings& s) {
    return WhenReady([&] {
        const int32_t set2 = settings_.set2;
        const int32_t set3 = settings_.set3;
        settings_ = s;
        if (s.set2 != set2 || s.set3 != set3) {
            recent_.clear();
        }
        return Status::Ok;
    });
}

Status BlockingEngine::SaveParams() {
    return WhenReady([&] {
        WriteHistory();
        SaveLists();
        return Status::Ok;
    });
}

std::string BlockingEngine::PathOf(std::string_view fileName) const {
    std::string path = dataFolder_;
    path += fileName;
    return path;
}

BlockingEngine::FileRead BlockingEngine::ReadListFile(std::string_view fileName, NameList& list) {
    list.Clear();
    std::optional<std::string> bytes = files_.ReadOrCreate(PathOf(fileName));
    if (!bytes) {
        return FileRead::Unreadable;
    }
    if (bytes->empty()) {
        return FileRead::Empty;
    }
    list.Assign(ParseOwnedListFile(std::move(*bytes), lead_));
    return FileRead::Read;
}

void BlockingEngine::SaveLists() {
    for (ListKind kind : kSaveOrder) {
        if (!unreadable_[static_cast<size_t>(KindIndex(kind))]) {
            files_.Replace(PathOf(UserFileName(kind)), FormatListFile(UserList(kind)));
        }
    }
}

void BlockingEngine::LoadHistory() {
    std::deque<HistoryRecord> history;
    const std::optional<std::string> bytes = files_.ReadOrCreate(PathOf(kHistoryFile));
    if (bytes) {
        history = ParseHistoryFile(*bytes);
    }
    std::deque<std::string> lines(history.size());
    history_.swap(history);
    historyLines_.swap(lines);
    historyRead_ = bytes.has_value();
}

bool BlockingEngine::CatchUpHistory() {
    const std::optional<std::string> bytes = files_.ReadOrCreate(PathOf(kHistoryFile));
    if (!bytes) {
        return false;
    }
    std::deque<HistoryRecord> older = ParseHistoryFile(*bytes);
    const size_t added = history_.size();
    std::deque<std::string> lines(older.size());
    history_.insert(history_.end(), std::make_move_iterator(older.begin()),
                    std::make_move_iterator(older.end()));
    try {
        historyLines_.insert(historyLines_.end(), std::make_move_iterator(lines.begin()),
                             std::make_move_iterator(lines.end()));
    } catch (...) {
        history_.resize(added);
        throw;
    }
    historyRead_ = true;
    // The records added meanwhile mark the older ones as a new record does,
    // oldest first, each over the file's records only.
    for (size_t i = added; i-- > 0;) {
        HistoryRecord& r = history_[i];
        int32_t processCount = r.processCount > 0 ? r.processCount : 0;
        int32_t siteCount = r.siteCount > 0 ? r.siteCount : 0;
        int32_t addressCount = r.addressCount > 0 ? r.addressCount : 0;
        if (r.processCount == kDefaultProcess) {
            processCount = kDefaultProcess;
        }
        MarkOlder(added, r.process, r.site, r.popup, true, processCount, siteCount, addressCount);
        if (r.processCount > 0 || r.processCount == kDefaultProcess) {
            r.processCount = processCount;
        }
        if (r.siteCount > 0) {
            r.siteCount = siteCount;
        }
        if (r.addressCount > 0) {
            r.addressCount = addressCount;
        }
        historyLines_[i].clear();
    }
    return true;
}

void BlockingEngine::WriteHistory() {
    // A history that could not be read is never written over.
    if (!historyRead_ && !CatchUpHistory()) {
        return;
    }
    bool expected = false;
    if (!g_historyWriteBusy.compare_exchange_strong(expected, true)) {
        return;
    }
    struct Release {
        ~Release() { g_historyWriteBusy = false; }
    } release;
    historyBuffer_.clear();
    for (size_t i = 0; i < history_.size(); ++i) {
        std::string& line = historyLines_[i];
        if (line.empty()) {
            // Formatted aside, so a failure leaves no half line in the cache.
            std::string fresh;
            FormatHistoryLine(history_[i], fresh);
            line = std::move(fresh);
        }
        historyBuffer_ += line;
    }
    files_.Replace(PathOf(kHistoryFile), historyBuffer_);
}

const NameList& BlockingEngine::ServerList(ListKind kind) const {
    return servers_[static_cast<size_t>(KindIndex(kind))];
}

std::optional<ListKind> BlockingEngine::ServerKind(int32_t kind) const {
    const std::optional<ListKind> k = ToListKind(kind);
    if (!k || !HasServerList(*k)) {
        return std::nullopt;
    }
    return k;
}

const NameList& BlockingEngine::SelectForEx(int32_t kind) const {
    return UserList(ToListKind(kind).value_or(ListKind::Process));
}

bool BlockingEngine::RejectsName(std::string_view name) const {
    // A line break would split the entry in the list file and end the list
    // there on the next reading.
    return name.find_first_of("\r\n") != std::string_view::npos;
}

Status BlockingEngine::GetList(int32_t kind, const NameList*& list) const {
    list = nullptr;
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        list = &UserList(k);
        return Status::Ok;
    });
}

Status BlockingEngine::AddToList(int32_t kind, std::string_view name, bool& inserted,
                                 int32_t& position) {
    inserted = false;
    position = -1;
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        if (RejectsName(name)) {
            return Status::InvalidArg;
        }
        LookupResult found = UserList(k).Lookup(name);
        if (!found.found() && events_ != nullptr && UserList(OppositeOf(k)).Lookup(name).found()) {
            if (!events_->AddTheSameInOppositeList(k, name)) {
                return Status::Ok;
            }
            // The client's handler may have changed the lists meanwhile.
            found = UserList(k).Lookup(name);
        }
        if (!found.found()) {
            position = UserList(k).InsertSorted(name, 1);
            inserted = true;
        } else if (found.check != 0) {
            if (events_ != nullptr) {
                events_->AddTheSameInList(k, name);
            }
        } else {
            UserList(k).SetCheck(found.position, 1);
            position = found.position;
        }
        SaveLists();
        return Status::Ok;
    });
}

Status BlockingEngine::EditInList(int32_t kind, int32_t index, std::string_view newName,
                                  bool newCheck, bool& done) {
    done = false;
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        if (!UserList(k).Contains(index) || RejectsName(newName)) {
            return Status::InvalidArg;
        }
        const bool renamed = !EqualsNoCase(UserList(k)[index].name, newName, lead_);
        // Names in another place of the list than the edited entry.
        const auto takenElsewhere = [&](int32_t at) {
            const LookupResult existing = UserList(k).Lookup(newName);
            return existing.found() && existing.position != at;
        };
        if (renamed) {
            if (takenElsewhere(index)) {
                if (events_ != nullptr) {
                    events_->AddTheSameInList(k, newName);
                }
                SaveLists();
                return Status::Ok;
            }
            if (events_ != nullptr && UserList(OppositeOf(k)).Lookup(newName).found()) {
                const ListEntry before = UserList(k)[index];
                if (!events_->AddTheSameInOppositeList(k, newName)) {
                    return Status::Ok;
                }
                // The client's handler may have changed the list: the entry is
                // found again by its name and check, or the edit is dropped.
                index = FindEntryAgain(UserList(k), before, index);
                if (index < 0 || takenElsewhere(index)) {
                    return Status::Ok;
                }
            }
        }
        NameList& list = UserList(k);
        list.Rename(index, std::string(newName));
        list.SetCheck(index, newCheck ? 1 : 0);
        if (renamed) {
            list.Resort(index);
        }
        done = true;
        SaveLists();
        return Status::Ok;
    });
}

Status BlockingEngine::DeleteFromList(int32_t kind, std::vector<int32_t>& positions) {
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        NameList& list = UserList(k);
        std::vector<bool> removed;
        std::vector<int32_t> adjusted = positions;
        // All positions are resolved first: a bad one leaves the list untouched.
        if (!ResolveDeletions(list.size(), adjusted, removed)) {
            return Status::InvalidArg;
        }
        list.EraseMarked(removed);
        positions.swap(adjusted);
        SaveLists();
        return Status::Ok;
    });
}

Status BlockingEngine::IsItemPresent(int32_t kind, std::string_view name, bool& present) const {
    present = false;
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        present = UserList(k).Lookup(name).found();
        return Status::Ok;
    });
}

int32_t BlockingEngine::GetIndexByName(int32_t kind, std::string_view name) const {
    return SelectForEx(kind).FindLinear(name);
}

std::string BlockingEngine::GetNameByIndex(int32_t kind, int32_t index) const {
    const NameList& list = SelectForEx(kind);
    return list.Contains(index) ? list[index].name : std::string();
}

bool BlockingEngine::GetCheckOfItem(int32_t kind, int32_t index) const {
    const NameList& list = SelectForEx(kind);
    return list.Contains(index) && list[index].check == 1;
}

void BlockingEngine::SetCheckOfItem(int32_t kind, int32_t index, bool check) {
    NameList& list = UserList(ToListKind(kind).value_or(ListKind::Process));
    if (list.Contains(index)) {
        list.SetCheck(index, check ? 1 : 0);
    }
}

bool BlockingEngine::IsProcDefault(std::string_view name) const {
    return std::any_of(defaultProcesses_.begin(), defaultProcesses_.end(),
                       [&](const std::string& d) { return EqualsFolded(d, name, lead_); });
}

bool BlockingEngine::IsAllDefPresent() const {
    const NameList& processes = UserList(ListKind::Process);
    for (const std::string& d : defaultProcesses_) {
        const int32_t pos = processes.FindLinear(d);
        if (pos < 0 || processes[pos].check == 0) {
            return false;
        }
    }
    return true;
}

Status BlockingEngine::AddDefault() {
    return WhenReady([&] {
        NameList& processes = UserList(ListKind::Process);
        std::vector<const std::string*> missing;
        for (const std::string& d : defaultProcesses_) {
            const int32_t pos = processes.FindLinear(d);
            if (pos >= 0) {
                processes.SetCheck(pos, 1);
            } else {
                missing.push_back(&d);
            }
        }
        for (const std::string* d : missing) {
            processes.InsertSorted(*d, 1);
        }
        SaveLists();
        return Status::Ok;
    });
}

Status BlockingEngine::AddDefaultObj(int32_t kind) {
    return WhenReady(ServerKind(kind), [&](ListKind k) {
        std::vector<std::string_view> names;
        names.reserve(ServerList(k).entries().size());
        for (const ListEntry& e : ServerList(k).entries()) {
            names.push_back(e.name);
        }
        UserList(k).MergeActive(names);
        SaveLists();
        return Status::Ok;
    });
}

Status BlockingEngine::IsAllDefObj(int32_t kind, bool& all) const {
    all = false;
    return WhenReady(ServerKind(kind), [&](ListKind k) {
        const NameList& user = UserList(k);
        all = std::all_of(ServerList(k).entries().begin(), ServerList(k).entries().end(),
                          [&](const ListEntry& e) {
                              const int32_t pos = user.FindFirst(e.name);
                              return pos >= 0 && user[pos].check != 0;
                          });
        return Status::Ok;
    });
}

Status BlockingEngine::IsServerObject(int32_t kind, int32_t index, bool& isServer) const {
    isServer = false;
    return WhenReady(ServerKind(kind), [&](ListKind k) {
        if (!UserList(k).Contains(index)) {
            return Status::InvalidArg;
        }
        isServer = ServerList(k).Lookup(UserList(k)[index].name).found();
        return Status::Ok;
    });
}

Status BlockingEngine::AddUpdateObj(int32_t kind) {
    return WhenReady(ServerKind(kind), [&](ListKind k) {
        NameList update(&lead_);
        // Entries are withdrawn only on the word of an update file that was read.
        if (ReadListFile(UpdateFileName(k), update) == FileRead::Unreadable) {
            return Status::Ok;
        }
        NameList& user = UserList(k);
        NameList& server = Server(k);
        std::vector<std::string_view> added;
        for (const ListEntry& e : update.entries()) {
            if (!server.Lookup(e.name).found()) {
                added.push_back(e.name);
            }
        }
        user.MergeActive(added);
        // One removal per withdrawn server entry, as removing each in turn would
        // do: a name the user list holds twice goes once per server entry.
        std::vector<bool> withdrawn(static_cast<size_t>(user.size()), false);
        for (const ListEntry& e : server.entries()) {
            LookupResult inUser = user.Lookup(e.name);
            if (!inUser.found() || update.Lookup(e.name).found()) {
                continue;
            }
            size_t at = static_cast<size_t>(inUser.position);
            while (at < withdrawn.size() && withdrawn[at]) {
                ++at;
            }
            if (at < withdrawn.size() && user.Compare(user[static_cast<int32_t>(at)].name,
                                                      user[inUser.position].name) == 0) {
                withdrawn[at] = true;
            }
        }
        user.EraseMarked(withdrawn);
        SaveLists();
        server = std::move(update);
        // One move: the server file is never missing or half written.
        files_.MoveOver(PathOf(UpdateFileName(k)), PathOf(ServerFileName(k)));
        return Status::Ok;
    });
}

Status BlockingEngine::OpenFromList(int32_t kind, int32_t index) {
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        if (!UserList(k).Contains(index)) {
            return Status::InvalidArg;
        }
        OpenAddress(UserList(k)[index].name);
        return Status::Ok;
    });
}

} // namespace qlx::engine
