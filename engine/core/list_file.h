#pragma once
// The "*.lst" byte format: one entry per line, "+" (active) or "-" (inactive)
// followed by the name and CR LF. No header, no escaping.
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/name_list.h"

namespace qlx::engine {

// Reads the entries in sorted order. A line shorter than two characters ends
// the list; text after the last CR LF is ignored. Names are lowered, except
// the bytes of double-byte characters of the code page given by `lead`.
std::vector<ListEntry> ParseListFile(std::string_view bytes, const LeadBytes& lead = {});
// The same, lowering the text in place instead of in a copy.
std::vector<ListEntry> ParseOwnedListFile(std::string&& bytes, const LeadBytes& lead = {});

// Writes every entry with a non-empty name, as it stands in memory.
std::string FormatListFile(const NameList& list);

} // namespace qlx::engine
