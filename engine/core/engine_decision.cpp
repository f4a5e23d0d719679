// The block decision: WXBlock with its allow and deny modes and the two
// heuristics on the recent list, and WXBlock2 by process alone.
#include <cstdlib>

#include "common/core/address.h"
#include "common/core/text.h"
#include "engine/core/engine.h"
#include "engine/core/history_file.h"

namespace qlx::engine {

namespace {

constexpr std::string_view kHttp = "http://";

// The address without "http://" when it starts with it (any letter case).
std::optional<std::string_view> ShortForm(std::string_view address) {
    if (address.size() >= kHttp.size() && EqualsNoCase(address.substr(0, kHttp.size()), kHttp)) {
        return address.substr(kHttp.size());
    }
    return std::nullopt;
}

} // namespace

bool BlockingEngine::SameSiteRuleBlocks(std::string_view site) const {
    if (!settings_.fromDomain) {
        return false;
    }
    const int32_t n = settings_.set2;
    if (static_cast<int64_t>(recent_.size()) < n) {
        return false;
    }
    if (n <= 0) {
        return true;
    }
    for (int32_t i = 0; i < n; ++i) {
        const RecentRecord& r = recent_[static_cast<size_t>(i)];
        if (r.sameSite == 0 || !EqualsNoCase(r.site, site)) {
            return false;
        }
    }
    return true;
}

bool BlockingEngine::BurstRuleBlocks() const {
    if (!settings_.forMinutes) {
        return false;
    }
    const std::time_t now = Now();
    int64_t count = 0;
    for (const RecentRecord& r : recent_) {
        const int64_t seconds = static_cast<int64_t>(now - r.when);
        if (seconds / 60 != 0 || r.burst == 0) {
            break;
        }
        ++count;
    }
    return count + 1 > settings_.set3;
}

Status BlockingEngine::Block(std::string_view parentTitle, std::string_view parentUrl,
                             std::string_view popupUrl, std::string_view process,
                             const PopupGeometry& g, BlockOutcome& outcome) {
    outcome = BlockOutcome{};
    if (!initialised_) {
        return Status::NotReady;
    }
    // The browser's own pages for failed or cancelled navigation.
    if (ContainsNoCase(popupUrl, "shdoclc.dll") || ContainsNoCase(popupUrl, "navigationcanceled")) {
        return Status::Ok;
    }
    // Texts go into "\history.log" as they are prepared here, so they are
    // made representable first (no tabs or line breaks inside a field).
    const std::string title = parentTitle.empty() ? kUnknown : MakeFieldSafe(parentTitle);
    const std::string proc = MakeFieldSafe(process);
    const bool siteKnown = !parentUrl.empty();
    const std::string site =
        siteKnown ? MakeFieldSafe(CutToSite(TrimAddress(parentUrl))) : kUnknown;
    const bool popupKnown = !popupUrl.empty();
    const std::string popup = popupKnown ? MakeFieldSafe(TrimAddress(popupUrl)) : kUnknown;
    const std::optional<std::string_view> shortSite =
        siteKnown ? ShortForm(site) : std::optional<std::string_view>();
    const std::optional<std::string_view> shortPopup =
        popupKnown ? ShortForm(popup) : std::optional<std::string_view>();

    const auto listed = [this](ListKind kind, std::string_view name) {
        return UserList(kind).Lookup(name).active();
    };
    bool block;
    if (fullLogic_ && settings_.block) {
        block = !popupKnown || listed(ListKind::PopupDeny, popup) ||
                (shortPopup && listed(ListKind::PopupDeny, *shortPopup)) || !siteKnown ||
                listed(ListKind::DomainDeny, site) ||
                (shortSite && listed(ListKind::DomainDeny, *shortSite)) ||
                ((settings_.forMinutes || settings_.fromDomain) &&
                 (SameSiteRuleBlocks(site) || BurstRuleBlocks()));
    } else {
        block = !((siteKnown && listed(ListKind::Domain, site)) ||
                  (shortSite && listed(ListKind::Domain, *shortSite)) ||
                  (popupKnown && listed(ListKind::Popup, popup)) ||
                  (shortPopup && listed(ListKind::Popup, *shortPopup)));
    }

    if (block) {
        outcome.block = true;
        outcome.description = {proc, site, title, popup};
    }
    AddRecord(title, site, popup, proc, false, nullptr);
    if (block) {
        AddRecord(title, site, popup, proc, false, &g);
    }
    return Status::Ok;
}

Status BlockingEngine::Block2(std::string_view parentUrl, std::string_view process,
                              const PopupGeometry& g, BlockOutcome& outcome) {
    outcome = BlockOutcome{};
    if (!initialised_) {
        return Status::NotReady;
    }
    std::string proc = MakeFieldSafe(process);
    if (!proc.empty()) {
        if (EqualsNoCase(proc, ownProcess_)) {
            return Status::Ok;
        }
        const bool allowed = UserList(ListKind::Process).Lookup(proc).active();
        const bool denied = UserList(ListKind::ProcessDeny).Lookup(proc).active();
        const bool block = (allowed && !settings_.block) ? false : (denied || !settings_.block);
        if (!block) {
            return Status::Ok;
        }
    } else {
        proc = kUnknown;
    }
    const std::string opener =
        parentUrl.empty() ? std::string(kUnknown) : MakeFieldSafe(TrimAddress(parentUrl));
    outcome.block = true;
    outcome.description = {proc, opener};
    AddRecord(kUnknown, kUnknown, opener, proc, true, &g);
    return Status::Ok;
}

} // namespace qlx::engine
