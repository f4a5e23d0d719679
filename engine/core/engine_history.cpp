// The history: adding records with their occurrence counters, the history
// view operations and re-opening pop-ups in the browser.
#include <algorithm>

#include "common/core/text.h"
#include "engine/core/engine.h"
#include "engine/core/fast_text.h"
#include "engine/core/history_stats.h"
#include "engine/core/time_text.h"

namespace qlx::engine {

namespace {

bool IsUnknown(std::string_view text) {
    return EqualsFolded(text, kUnknown);
}

} // namespace

const std::string& BlockingEngine::NowText() {
    const std::time_t now = Now();
    if (now != cachedSecond_) {
        cachedTimeText_ = FormatTimeText(now);
        cachedSecond_ = now;
    }
    return cachedTimeText_;
}

void BlockingEngine::AddRecord(std::string_view title, std::string_view site,
                               std::string_view popup, std::string_view process, bool processOnly,
                               bool recent, const PopupGeometry* geometry) {
    // Counters matter only for a history record or for older records to mark.
    const bool counting = geometry != nullptr || !history_.empty();
    int32_t processCount =
        (!counting || IsUnknown(process)) ? 0 : (IsProcDefault(process) ? kDefaultProcess : 1);
    int32_t addressCount = IsUnknown(popup) ? 0 : 1;
    if (processOnly) {
        title = kUnknown;
        site = kUnknown;
    }
    int32_t siteCount = (processOnly || IsUnknown(site)) ? 0 : 1;

    // A block adds a recent and a history record; the second walk of the
    // same values would find the same records, so one walk serves both.
    // A changed counter makes the record's cached file line stale.
    const auto mark = [this](size_t i, int32_t& counter) {
        if (counter != kCountedLater) {
            counter = kCountedLater;
            historyLines_[i].clear();
        }
    };
    for (size_t i = 0; i < history_.size(); ++i) {
        HistoryRecord& r = history_[i];
        if (processCount != 0 && EqualsFolded(r.process, process)) {
            mark(i, r.processCount);
            if (processCount > 0) {
                ++processCount;
            }
        }
        if (siteCount > 0 && EqualsFolded(r.site, site)) {
            mark(i, r.siteCount);
            ++siteCount;
        }
        if (!processOnly && addressCount > 0 && EqualsFolded(r.popup, popup)) {
            mark(i, r.addressCount);
            ++addressCount;
        }
    }

    if (recent) {
        RecentRecord& slot = recent_.PushFront();
        slot.when = Now();
        slot.site.assign(site);
        slot.popup.assign(popup);
        slot.sameSite = settings_.fromDomain ? 1 : 0;
        slot.burst = settings_.forMinutes ? 1 : 0;
    }
    if (geometry == nullptr) {
        return;
    }
    HistoryRecord r;
    r.time = NowText();
    r.title = std::string(title);
    r.site = std::string(site);
    r.popup = std::string(popup);
    r.process = std::string(process);
    r.left = static_cast<int32_t>(geometry->left);
    r.top = static_cast<int32_t>(geometry->top);
    r.width = static_cast<int32_t>(geometry->width);
    r.height = static_cast<int32_t>(geometry->height);
    r.siteCount = siteCount;
    r.addressCount = addressCount;
    r.processCount = processCount;
    history_.push_front(std::move(r));
    historyLines_.emplace_front();
    WriteHistory();
}

Status BlockingEngine::AddToListFromHistory(int32_t kind, int32_t index, bool& inserted,
                                            int32_t& position) {
    inserted = false;
    position = -1;
    const std::optional<ListKind> k = ToListKind(kind);
    if (!initialised_) {
        return Status::NotReady;
    }
    if (!k || index < 0 || static_cast<size_t>(index) >= history_.size()) {
        return Status::InvalidArg;
    }
    const HistoryRecord& r = history_[static_cast<size_t>(index)];
    std::string text;
    switch (*k) {
    case ListKind::Process:
    case ListKind::ProcessDeny:
        text = r.process;
        break;
    case ListKind::Domain:
    case ListKind::DomainDeny:
        text = r.site;
        break;
    case ListKind::Popup:
    case ListKind::PopupDeny:
        text = r.popup;
        break;
    }
    return AddToList(kind, text, inserted, position);
}

Status BlockingEngine::DeleteFromHistory(std::vector<int32_t> positions) {
    if (!initialised_) {
        return Status::NotReady;
    }
    for (int32_t p : positions) {
        if (p < 0 || static_cast<size_t>(p) >= history_.size()) {
            return Status::InvalidArg;
        }
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        history_.erase(history_.begin() + *it);
        historyLines_.erase(historyLines_.begin() + *it);
    }
    return Status::Ok;
}

Status BlockingEngine::OpenFromHistory(int32_t index) {
    if (!initialised_) {
        return Status::NotReady;
    }
    if (index < 0 || static_cast<size_t>(index) >= history_.size()) {
        return Status::InvalidArg;
    }
    const HistoryRecord& r = history_[static_cast<size_t>(index)];
    OpenAddress(IsUnknown(r.popup) ? r.site : r.popup);
    return Status::Ok;
}

Status BlockingEngine::OpenLastPopup(bool& opened) {
    opened = false;
    if (!initialised_) {
        return Status::NotReady;
    }
    if (history_.empty()) {
        return Status::Ok;
    }
    opened = true;
    return OpenFromHistory(0);
}

void BlockingEngine::OpenAddress(const std::string& address) {
    if (browser_ == nullptr) {
        return;
    }
    BrowserWindowPlan plan;
    plan.address = address;
    const auto recorded =
        std::find_if(history_.begin(), history_.end(),
                     [&](const HistoryRecord& r) { return EqualsNoCase(r.popup, address); });
    if (recorded == history_.end() || settings_.normWindows) {
        plan.fitToScreen = settings_.fit;
        plan.resizable = settings_.addBorder;
        plan.menuAndToolbar = settings_.addMenu;
    } else {
        plan.restore = true;
        plan.left = recorded->left;
        plan.top = recorded->top;
        plan.width = recorded->width;
        plan.height = recorded->height;
    }
    browser_->Open(plan);
}

Status BlockingEngine::GetStatistics(bool withProcesses, std::vector<int32_t>& values) const {
    if (!initialised_) {
        return Status::NotReady;
    }
    values = ComputeStatistics(history_, Now(), withProcesses);
    return Status::Ok;
}

Status BlockingEngine::GetTop10(std::vector<std::string>& sites) const {
    if (!initialised_) {
        return Status::NotReady;
    }
    sites = TopSitesByCount(history_);
    return Status::Ok;
}

Status BlockingEngine::GetTop10Ex(std::vector<std::string>& sites,
                                  std::vector<int32_t>& counts) const {
    TopSitesByRecords(history_, sites, counts);
    return Status::Ok;
}

Status BlockingEngine::GetUniqueDomains(std::vector<std::string>& sites) const {
    if (!initialised_) {
        return Status::NotReady;
    }
    sites = UniqueSites(history_);
    return Status::Ok;
}

} // namespace qlx::engine
