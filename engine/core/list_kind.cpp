#include "engine/core/list_kind.h"

namespace qlx::engine {

namespace {

struct KindInfo {
    ListKind kind;
    ListKind opposite;
    std::string_view user;
    std::string_view server;
    std::string_view update;
};

constexpr std::array<KindInfo, 6> kKinds = {{
    {ListKind::Process, ListKind::ProcessDeny, "\\processes.lst", "", ""},
    {ListKind::Domain, ListKind::DomainDeny, "\\domains.lst", "\\svrdomains.lst",
     "\\upddomains.lst"},
    {ListKind::Popup, ListKind::PopupDeny, "\\urls.lst", "\\svrurls.lst", "\\updurls.lst"},
    {ListKind::DomainDeny, ListKind::Domain, "\\denydomains.lst", "\\svrdenydomains.lst",
     "\\upddenydomains.lst"},
    {ListKind::PopupDeny, ListKind::Popup, "\\denyurls.lst", "\\svrdenyurls.lst",
     "\\upddenyurls.lst"},
    {ListKind::ProcessDeny, ListKind::Process, "\\denyprocesses.lst", "", ""},
}};

const KindInfo& Info(ListKind kind) {
    return kKinds[static_cast<size_t>(KindIndex(kind))];
}

} // namespace

std::optional<ListKind> ToListKind(int32_t value) {
    switch (value) {
    case 0:
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
        return static_cast<ListKind>(value);
    default:
        return std::nullopt;
    }
}

int KindIndex(ListKind kind) {
    switch (kind) {
    case ListKind::Process:
        return 0;
    case ListKind::Domain:
        return 1;
    case ListKind::Popup:
        return 2;
    case ListKind::DomainDeny:
        return 3;
    case ListKind::PopupDeny:
        return 4;
    case ListKind::ProcessDeny:
        return 5;
    }
    return 0;
}

bool HasServerList(ListKind kind) {
    return !Info(kind).server.empty();
}

ListKind OppositeOf(ListKind kind) {
    return Info(kind).opposite;
}

std::string_view UserFileName(ListKind kind) {
    return Info(kind).user;
}

std::string_view ServerFileName(ListKind kind) {
    return Info(kind).server;
}

std::string_view UpdateFileName(ListKind kind) {
    return Info(kind).update;
}

} // namespace qlx::engine
