#pragma once
// One list of names (processes, site domains or pop-up addresses), kept in
// ascending case-insensitive order of the raw names. Positions in this order
// are what the engine's interface hands out.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/text.h"

namespace qlx::engine {

struct ListEntry {
    std::string name;
    int32_t check = 1; // 1 = active; 0 = kept but inactive
    bool operator==(const ListEntry&) const = default;
};

struct LookupResult {
    int32_t position = -1;
    int32_t check = 0;
    bool found() const { return position >= 0; }
    bool active() const { return position >= 0 && check != 0; }
};

// Names compare with the letters folded that are single-byte characters in
// the code page given by `lead` (owned by the caller; it may change between
// calls, and the list keeps pointing at it).
class NameList {
public:
    explicit NameList(const LeadBytes* lead = nullptr) : lead_(lead ? lead : &kSingleByte) {}
    NameList(std::vector<ListEntry> sorted, const LeadBytes* lead = nullptr)
        : entries_(std::move(sorted)), lead_(lead ? lead : &kSingleByte) {}

    // Replaces the entries (already sorted), keeping the code page.
    void Assign(std::vector<ListEntry> sorted) noexcept {
        entries_ = std::move(sorted);
        prefixes_.clear();
    }

    // Finds the entry whose name equals `name` when one trailing "/" is
    // removed from both. The list is sorted by raw names, where "a.com/" sorts
    // after "a.com.au": a single search by the stripped names would miss it, so
    // the stripped key and the key with "/" are each searched in raw order.
    LookupResult Lookup(std::string_view name) const;

    // Inserts after every entry that is smaller than or equal to the name;
    // returns the new position.
    int32_t InsertSorted(std::string_view name, int32_t check);

    // First position whose whole name equals `name` (no "/" removal), or -1.
    int32_t FindLinear(std::string_view name) const;
    // The same answer by binary search, as the list is sorted.
    int32_t FindFirst(std::string_view name) const;

    // Each name in turn: an entry found by Lookup becomes active, a name not
    // found is inserted as active after the equal entries, as one InsertSorted
    // per name would do, in one merge.
    void MergeActive(const std::vector<std::string_view>& names);

    // Removes the entries whose flag is set, in one pass.
    void EraseMarked(const std::vector<bool>& marked);

    // Moves the entry at `position` to its sorted place (after equal names);
    // returns the new position.
    int32_t Resort(int32_t position);

    void Erase(int32_t position) {
        entries_.erase(entries_.begin() + position);
        prefixes_.clear();
    }
    void Clear() {
        entries_.clear();
        prefixes_.clear();
    }
    void SetCheck(int32_t position, int32_t check) {
        entries_[static_cast<size_t>(position)].check = check;
    }
    // A new name in place (the caller resorts when it must).
    void Rename(int32_t position, std::string name) {
        entries_[static_cast<size_t>(position)].name = std::move(name);
        prefixes_.clear();
    }

    bool Contains(int32_t position) const {
        return position >= 0 && static_cast<size_t>(position) < entries_.size();
    }
    int32_t size() const { return static_cast<int32_t>(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    const ListEntry& operator[](int32_t i) const { return entries_[static_cast<size_t>(i)]; }
    const std::vector<ListEntry>& entries() const { return entries_; }

    const LeadBytes& lead() const { return *lead_; }
    int Compare(std::string_view a, std::string_view b) const;

private:
    // The first eight folded bytes of each name, big-endian: a search over
    // this one contiguous array touches far less memory than one over the
    // names, and leaves only names with the key's own prefix to compare.
    // Built on the first search after a change of names.
    uint64_t PrefixOf(std::string_view name) const;
    const std::vector<uint64_t>& Prefixes() const;
    // Where the entries not smaller than `key` begin.
    std::vector<ListEntry>::const_iterator LowerBound(std::string_view key) const;

    static constexpr LeadBytes kSingleByte{};
    std::vector<ListEntry> entries_;
    const LeadBytes* lead_;
    mutable std::vector<uint64_t> prefixes_; // empty when stale (or no entries)
};

} // namespace qlx::engine
