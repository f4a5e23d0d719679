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

} // namespace

BlockingEngine::BlockingEngine(FileSystem& files, Clock clock)
    : files_(files), clock_(clock ? std::move(clock) : Clock(SystemNow)) {}

Status BlockingEngine::Init(std::string_view ownProcess, std::string_view dataFolder,
                            bool fullLogic, const EngineSettings& settings) {
    if (initialised_) {
        return Status::NotReady;
    }
    fullLogic_ = fullLogic;
    ownProcess_ = std::string(ownProcess);
    dataFolder_ = std::string(dataFolder);
    if (!dataFolder_.empty() && (dataFolder_.back() == '\\' || dataFolder_.back() == '/')) {
        dataFolder_.pop_back();
    }
    defaultProcesses_.assign(kDefaultProcesses.begin(), kDefaultProcesses.end());

    NameList& processes = UserList(ListKind::Process);
    if (!ReadListFile(UserFileName(ListKind::Process), processes)) {
        for (const std::string& name : defaultProcesses_) {
            processes.InsertSorted(name, 1);
        }
    }
    for (ListKind kind : {ListKind::ProcessDeny, ListKind::Domain, ListKind::Popup,
                          ListKind::DomainDeny, ListKind::PopupDeny}) {
        ReadListFile(UserFileName(kind), UserList(kind));
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

void BlockingEngine::SetParams(const EngineSettings& s) {
    const int32_t set2 = settings_.set2;
    const int32_t set3 = settings_.set3;
    settings_ = s;
    if (s.set2 != set2 || s.set3 != set3) {
        recent_.clear();
    }
}

Status BlockingEngine::SaveParams() {
    if (!initialised_) {
        return Status::NotReady;
    }
    WriteHistory();
    SaveLists();
    return Status::Ok;
}

std::string BlockingEngine::PathOf(std::string_view fileName) const {
    std::string path = dataFolder_;
    path += fileName;
    return path;
}

bool BlockingEngine::ReadListFile(std::string_view fileName, NameList& list) {
    list.Clear();
    std::optional<std::string> bytes = files_.ReadOrCreate(PathOf(fileName));
    if (!bytes) {
        return false;
    }
    const bool read = !bytes->empty();
    list = NameList(ParseOwnedListFile(std::move(*bytes)));
    return read;
}

void BlockingEngine::SaveLists() {
    for (ListKind kind : kSaveOrder) {
        files_.Replace(PathOf(UserFileName(kind)), FormatListFile(UserList(kind)));
    }
}

void BlockingEngine::LoadHistory() {
    history_.clear();
    const std::optional<std::string> bytes = files_.ReadOrCreate(PathOf(kHistoryFile));
    if (bytes) {
        history_ = ParseHistoryFile(*bytes);
    }
    historyLines_.assign(history_.size(), std::string());
}

void BlockingEngine::WriteHistory() {
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
            FormatHistoryLine(history_[i], line);
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

void BlockingEngine::MergeActive(NameList& list, std::string_view name) {
    const LookupResult found = list.Lookup(name);
    if (found.found()) {
        list[found.position].check = 1;
    } else {
        list.InsertSorted(name, 1);
    }
}

bool BlockingEngine::RejectsName(std::string_view name) const {
    // A line break would split the entry in the list file and end the list
    // there on the next reading.
    return name.find_first_of("\r\n") != std::string_view::npos;
}

Status BlockingEngine::GetList(int32_t kind, const NameList*& list) const {
    list = nullptr;
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k) {
        return Status::InvalidArg;
    }
    list = &UserList(*k);
    return Status::Ok;
}

Status BlockingEngine::AddToList(int32_t kind, std::string_view name, bool& inserted,
                                 int32_t& position) {
    inserted = false;
    position = -1;
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k || RejectsName(name)) {
        return Status::InvalidArg;
    }
    const LookupResult found = UserList(*k).Lookup(name);
    if (!found.found()) {
        if (events_ != nullptr && UserList(OppositeOf(*k)).Lookup(name).found() &&
            !events_->AddTheSameInOppositeList(*k, name)) {
            return Status::Ok;
        }
        position = UserList(*k).InsertSorted(name, 1);
        inserted = true;
    } else if (found.check != 0) {
        if (events_ != nullptr) {
            events_->AddTheSameInList(*k, name);
        }
    } else {
        UserList(*k)[found.position].check = 1;
        position = found.position;
    }
    SaveLists();
    return Status::Ok;
}

Status BlockingEngine::EditInList(int32_t kind, int32_t index, std::string_view newName,
                                  bool newCheck, bool& done) {
    done = false;
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k || !UserList(*k).Contains(index) || RejectsName(newName)) {
        return Status::InvalidArg;
    }
    const bool renamed = !EqualsNoCase(UserList(*k)[index].name, newName);
    if (renamed) {
        const LookupResult existing = UserList(*k).Lookup(newName);
        if (existing.found() && existing.position != index) {
            if (events_ != nullptr) {
                events_->AddTheSameInList(*k, newName);
            }
            SaveLists();
            return Status::Ok;
        }
        if (events_ != nullptr && UserList(OppositeOf(*k)).Lookup(newName).found() &&
            !events_->AddTheSameInOppositeList(*k, newName)) {
            return Status::Ok;
        }
    }
    NameList& list = UserList(*k);
    if (!list.Contains(index)) {
        return Status::InvalidArg; // the client changed the list from its event handler
    }
    list[index].name = std::string(newName);
    list[index].check = newCheck ? 1 : 0;
    if (renamed) {
        list.Resort(index);
    }
    done = true;
    SaveLists();
    return Status::Ok;
}

Status BlockingEngine::DeleteFromList(int32_t kind, std::vector<int32_t>& positions) {
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k) {
        return Status::InvalidArg;
    }
    NameList& list = UserList(*k);
    // Dry run first: a bad position leaves the list untouched.
    {
        std::vector<int32_t> trial = positions;
        int32_t count = list.size();
        for (size_t i = 0; i < trial.size(); ++i) {
            if (trial[i] < 0 || trial[i] >= count) {
                return Status::InvalidArg;
            }
            --count;
            for (size_t j = i + 1; j < trial.size(); ++j) {
                if (trial[j] > trial[i]) {
                    --trial[j];
                }
            }
        }
    }
    for (size_t i = 0; i < positions.size(); ++i) {
        list.Erase(positions[i]);
        for (size_t j = i + 1; j < positions.size(); ++j) {
            if (positions[j] > positions[i]) {
                --positions[j];
            }
        }
    }
    SaveLists();
    return Status::Ok;
}

Status BlockingEngine::IsItemPresent(int32_t kind, std::string_view name, bool& present) const {
    present = false;
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k) {
        return Status::InvalidArg;
    }
    present = UserList(*k).Lookup(name).found();
    return Status::Ok;
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
        list[index].check = check ? 1 : 0;
    }
}

bool BlockingEngine::IsProcDefault(std::string_view name) const {
    return std::any_of(defaultProcesses_.begin(), defaultProcesses_.end(),
                       [&](const std::string& d) { return EqualsFolded(d, name); });
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
    if (!initialised_) {
        return Status::NotReady;
    }
    NameList& processes = UserList(ListKind::Process);
    std::vector<const std::string*> missing;
    for (const std::string& d : defaultProcesses_) {
        const int32_t pos = processes.FindLinear(d);
        if (pos >= 0) {
            processes[pos].check = 1;
        } else {
            missing.push_back(&d);
        }
    }
    for (const std::string* d : missing) {
        processes.InsertSorted(*d, 1);
    }
    SaveLists();
    return Status::Ok;
}

Status BlockingEngine::AddDefaultObj(int32_t kind) {
    const std::optional<ListKind> k = ServerKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k) {
        return Status::InvalidArg;
    }
    for (const ListEntry& e : ServerList(*k).entries()) {
        MergeActive(UserList(*k), e.name);
    }
    SaveLists();
    return Status::Ok;
}

Status BlockingEngine::IsAllDefObj(int32_t kind, bool& all) const {
    all = false;
    const std::optional<ListKind> k = ServerKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k) {
        return Status::InvalidArg;
    }
    const NameList& user = UserList(*k);
    all = std::all_of(ServerList(*k).entries().begin(), ServerList(*k).entries().end(),
                      [&](const ListEntry& e) {
                          const int32_t pos = user.FindLinear(e.name);
                          return pos >= 0 && user[pos].check != 0;
                      });
    return Status::Ok;
}

Status BlockingEngine::IsServerObject(int32_t kind, int32_t index, bool& isServer) const {
    isServer = false;
    const std::optional<ListKind> k = ServerKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k || !UserList(*k).Contains(index)) {
        return Status::InvalidArg;
    }
    isServer = ServerList(*k).Lookup(UserList(*k)[index].name).found();
    return Status::Ok;
}

Status BlockingEngine::AddUpdateObj(int32_t kind) {
    const std::optional<ListKind> k = ServerKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k) {
        return Status::InvalidArg;
    }
    NameList update;
    ReadListFile(UpdateFileName(*k), update);
    NameList& user = UserList(*k);
    NameList& server = Server(*k);
    for (const ListEntry& e : update.entries()) {
        if (!server.Lookup(e.name).found()) {
            MergeActive(user, e.name);
        }
    }
    for (const ListEntry& e : server.entries()) {
        const LookupResult inUser = user.Lookup(e.name);
        if (inUser.found() && !update.Lookup(e.name).found()) {
            user.Erase(inUser.position);
        }
    }
    SaveLists();
    server = std::move(update);
    // One move: the server file is never missing or half written.
    files_.MoveOver(PathOf(UpdateFileName(*k)), PathOf(ServerFileName(*k)));
    return Status::Ok;
}

Status BlockingEngine::OpenFromList(int32_t kind, int32_t index) {
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k || !UserList(*k).Contains(index)) {
        return Status::InvalidArg;
    }
    OpenAddress(UserList(*k)[index].name);
    return Status::Ok;
}

} // namespace qlx::engine
