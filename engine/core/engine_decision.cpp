// The block decision: WXBlock with its allow and deny modes and the two
// heuristics on the recent list, and WXBlock2 by process alone.
#include <cstdlib>
#include <cstring>

#include "common/core/text.h"
#include "engine/core/engine.h"
#include "engine/core/fast_text.h"
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

// Cutting after the last code 1, then the last LF, then the last CR keeps
// the text after the last of any of the three.
std::string_view CleanedAddress(std::string_view address) {
    const auto has = [&](char c) {
        return std::memchr(address.data(), c, address.size()) != nullptr;
    };
    if (!has('\x01') && !has('\n') && !has('\r')) {
        return address; // the usual case, found by vectorised scans
    }
    for (size_t i = address.size(); i > 0; --i) {
        const char c = address[i - 1];
        if (c == '\x01' || c == '\n' || c == '\r') {
            return address.substr(i);
        }
    }
    return address;
}

std::string_view SiteOf(std::string_view address) {
    const size_t dot = address.find('.');
    if (dot == std::string_view::npos) {
        return address;
    }
    const size_t slash = address.find('/', dot + 1);
    return slash == std::string_view::npos ? address : address.substr(0, slash);
}

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
        if (r.sameSite == 0 || !EqualsFolded(r.site, site, lead_)) {
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
    for (size_t i = 0; i < recent_.size(); ++i) {
        const RecentRecord& r = recent_[i];
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
    return WhenReady([&] {
        // The browser's own pages for failed or cancelled navigation.
        if (ContainsFolded(popupUrl, "shdoclc.dll") ||
            ContainsFolded(popupUrl, "navigationcanceled")) {
            return Status::Ok;
        }
        // The texts as given: only the history replaces what its file cannot hold.
        const auto prepare = [](std::string& out, std::string_view text) -> const std::string& {
            out.assign(text);
            return out;
        };
        const std::string& proc = prepare(processText_, process);
        const bool siteKnown = !parentUrl.empty();
        const std::string& site = siteKnown ? prepare(siteText_, SiteOf(CleanedAddress(parentUrl)))
                                            : prepare(siteText_, kUnknown);
        const bool popupKnown = !popupUrl.empty();
        const std::string& popup = popupKnown ? prepare(popupText_, CleanedAddress(popupUrl))
                                              : prepare(popupText_, kUnknown);
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
            // The title is only kept with a blocked pop-up.
            prepare(titleText_, parentTitle.empty() ? std::string_view(kUnknown) : parentTitle);
            outcome.description = {proc, site, titleText_, popup};
        }
        AddRecord(block ? std::string_view(titleText_) : std::string_view(kUnknown), site, popup,
                  proc, false, true, block ? &g : nullptr);
        return Status::Ok;
    });
}

Status BlockingEngine::Block2(std::string_view parentUrl, std::string_view process,
                              const PopupGeometry& g, BlockOutcome& outcome) {
    outcome = BlockOutcome{};
    return WhenReady([&] {
        std::string proc(process);
        if (!proc.empty()) {
            if (EqualsNoCase(proc, ownProcess_, lead_)) {
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
            parentUrl.empty() ? std::string(kUnknown) : std::string(CleanedAddress(parentUrl));
        outcome.block = true;
        outcome.description = {proc, opener};
        AddRecord(kUnknown, kUnknown, opener, proc, true, false, &g);
        return Status::Ok;
    });
}

} // namespace qlx::engine
