// The history: adding records with their occurrence counters, the history
// view operations and re-opening pop-ups in the browser.
#include <algorithm>

#include "common/core/text.h"
#include "engine/core/engine.h"
#include "engine/core/fast_text.h"
#include "engine/core/history_file.h"
#include "engine/core/history_stats.h"
#include "engine/core/time_text.h"

namespace qlx::engine {

namespace {

bool IsUnknown(std::string_view text) {
    return EqualsNoCase(text, kUnknown);
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

void BlockingEngine::MarkOlder(size_t from, std::string_view process, std::string_view site,
                               std::string_view popup, bool compareAddress, int32_t& processCount,
                               int32_t& siteCount, int32_t& addressCount) {
    // A changed counter makes the record's cached file line stale.
    const auto mark = [this](size_t i, int32_t& counter) noexcept {
        if (counter != kCountedLater) {
            counter = kCountedLater;
            historyLines_[i].clear();
        }
    };
    for (size_t i = from; i < history_.size(); ++i) {
        HistoryRecord& r = history_[i];
        if (processCount != 0 && EqualsFolded(r.process, process, lead_)) {
            mark(i, r.processCount);
            if (processCount > 0) {
                ++processCount;
            }
        }
        if (siteCount > 0 && EqualsFolded(r.site, site, lead_)) {
            mark(i, r.siteCount);
            ++siteCount;
        }
        if (compareAddress && addressCount > 0 && EqualsFolded(r.popup, popup, lead_)) {
            mark(i, r.addressCount);
            ++addressCount;
        }
    }
}

namespace {

// The text as the history holds it: no tab or line break, which would split
// the fields of its file. Copied only when something has to change.
std::string_view HistoryText(std::string_view text, std::string& storage) {
    bool clean = true;
    for (char c : text) {
        // One test for the three: none of tab, LF or CR is above 13.
        clean &= static_cast<unsigned char>(c) > '\r' || (c != '\t' && c != '\n' && c != '\r');
    }
    if (clean) {
        return text;
    }
    storage = MakeFieldSafe(text);
    return storage;
}

} // namespace

void BlockingEngine::AddRecord(std::string_view title, std::string_view site,
                               std::string_view popup, std::string_view process, bool processOnly,
                               bool recent, const PopupGeometry* geometry) {
    if (processOnly) {
        title = kUnknown;
        site = kUnknown;
    }
    // The recent list keeps the site as given; the history its file's form,
    // in which older records are compared.
    const std::string_view recentSite = site;
    const std::string_view recentPopup = popup;
    // Counters matter only for a history record or for older records to mark.
    const bool counting = geometry != nullptr || !history_.empty();
    std::string titleStore, siteStore, popupStore, processStore;
    if (counting) {
        title = HistoryText(title, titleStore);
        site = HistoryText(site, siteStore);
        popup = HistoryText(popup, popupStore);
        process = HistoryText(process, processStore);
    }
    int32_t processCount =
        (!counting || IsUnknown(process)) ? 0 : (IsProcDefault(process) ? kDefaultProcess : 1);
    int32_t addressCount = IsUnknown(popup) ? 0 : 1;
    int32_t siteCount = (processOnly || IsUnknown(site)) ? 0 : 1;

    // Everything that can fail comes first; the walk that marks the older
    // records (and so changes them) runs once nothing can fail any more.
    size_t from = 0;
    if (geometry != nullptr) {
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
        historyLines_.emplace_front();
        try {
            history_.push_front(std::move(r));
        } catch (...) {
            historyLines_.pop_front();
            throw;
        }
        from = 1;
    }
    if (recent) {
        try {
            recent_.PushFront(Now(), recentSite, recentPopup, settings_.fromDomain ? 1 : 0,
                              settings_.forMinutes ? 1 : 0);
        } catch (...) {
            if (from == 1) {
                history_.pop_front();
                historyLines_.pop_front();
            }
            throw;
        }
    }
    // A block adds a recent and a history record; the second walk of the
    // same values would find the same records, so one walk serves both.
    MarkOlder(from, process, site, popup, !processOnly, processCount, siteCount, addressCount);
    if (geometry == nullptr) {
        return;
    }
    HistoryRecord& added = history_.front();
    added.siteCount = siteCount;
    added.addressCount = addressCount;
    added.processCount = processCount;
    WriteHistory();
}

Status BlockingEngine::AddToListFromHistory(int32_t kind, int32_t index, bool& inserted,
                                            int32_t& position) {
    inserted = false;
    position = -1;
    return WhenReady(ToListKind(kind), [&](ListKind k) {
        if (index < 0 || static_cast<size_t>(index) >= history_.size()) {
            return Status::InvalidArg;
        }
        const HistoryRecord& r = history_[static_cast<size_t>(index)];
        std::string text;
        switch (k) {
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
    });
}

Status BlockingEngine::DeleteFromHistory(std::vector<int32_t> positions) {
    return WhenReady([&] {
        for (int32_t p : positions) {
            if (p < 0 || static_cast<size_t>(p) >= history_.size()) {
                return Status::InvalidArg;
            }
        }
        std::vector<bool> removed(history_.size(), false);
        for (int32_t p : positions) {
            removed[static_cast<size_t>(p)] = true;
        }
        // One pass over both: moving strings cannot fail, so the records and
        // their cached lines stay side by side.
        size_t out = 0;
        for (size_t i = 0; i < history_.size(); ++i) {
            if (removed[i]) {
                continue;
            }
            if (out != i) {
                history_[out] = std::move(history_[i]);
                historyLines_[out] = std::move(historyLines_[i]);
            }
            ++out;
        }
        while (history_.size() > out) {
            history_.pop_back();
            historyLines_.pop_back();
        }
        return Status::Ok;
    });
}

Status BlockingEngine::OpenFromHistory(int32_t index) {
    return WhenReady([&] {
        if (index < 0 || static_cast<size_t>(index) >= history_.size()) {
            return Status::InvalidArg;
        }
        const HistoryRecord& r = history_[static_cast<size_t>(index)];
        OpenAddress(IsUnknown(r.popup) ? r.site : r.popup);
        return Status::Ok;
    });
}

Status BlockingEngine::OpenLastPopup(bool& opened) {
    opened = false;
    return WhenReady([&] {
        if (history_.empty()) {
            return Status::Ok;
        }
        opened = true;
        return OpenFromHistory(0);
    });
}

void BlockingEngine::OpenAddress(const std::string& address) {
    if (browser_ == nullptr) {
        return;
    }
    BrowserWindowPlan plan;
    plan.address = address;
    const auto recorded =
        std::find_if(history_.begin(), history_.end(),
                     [&](const HistoryRecord& r) { return EqualsNoCase(r.popup, address, lead_); });
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
    return WhenReady([&] {
        values = ComputeStatistics(history_, Now(), withProcesses);
        return Status::Ok;
    });
}

Status BlockingEngine::GetTop10(std::vector<std::string>& sites) const {
    return WhenReady([&] {
        sites = TopSitesByCount(history_);
        return Status::Ok;
    });
}

Status BlockingEngine::GetTop10Ex(std::vector<std::string>& sites,
                                  std::vector<int32_t>& counts) const {
    TopSitesByRecords(history_, sites, counts, lead_);
    return Status::Ok;
}

Status BlockingEngine::GetUniqueDomains(std::vector<std::string>& sites) const {
    return WhenReady([&] {
        sites = UniqueSites(history_);
        return Status::Ok;
    });
}

} // namespace qlx::engine
