#pragma once
// The engine's list kinds. The values are bit values fixed by the type
// library's LIST_TYPE, not a dense range.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qlx::engine {

enum class ListKind : int32_t {
    Process = 0,
    Domain = 1,
    Popup = 2,
    DomainDeny = 4,
    PopupDeny = 8,
    ProcessDeny = 16,
};

// The six user lists in the order their files are saved.
inline constexpr std::array<ListKind, 6> kSaveOrder = {ListKind::Process,    ListKind::ProcessDeny,
                                                       ListKind::Domain,     ListKind::Popup,
                                                       ListKind::DomainDeny, ListKind::PopupDeny};

// The kind for a raw LIST_TYPE value, or nothing for a value outside the six.
std::optional<ListKind> ToListKind(int32_t value);

// Whether the kind has a server list and an update list (domains and addresses).
bool HasServerList(ListKind kind);

ListKind OppositeOf(ListKind kind);

// File names as appended to the data folder; they begin with a backslash.
std::string_view UserFileName(ListKind kind);
// Empty for the process kinds.
std::string_view ServerFileName(ListKind kind);
std::string_view UpdateFileName(ListKind kind);

// Dense index 0..5 for per-kind arrays.
int KindIndex(ListKind kind);

} // namespace qlx::engine
