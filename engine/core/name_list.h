#pragma once
// One list of names (processes, site domains or pop-up addresses), kept in
// ascending case-insensitive order of the raw names. Positions in this order
// are what the engine's interface hands out.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

class NameList {
public:
    NameList() = default;
    explicit NameList(std::vector<ListEntry> sorted) : entries_(std::move(sorted)) {}

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

    // Moves the entry at `position` to its sorted place (after equal names);
    // returns the new position.
    int32_t Resort(int32_t position);

    void Erase(int32_t position) { entries_.erase(entries_.begin() + position); }
    void Clear() { entries_.clear(); }

    bool Contains(int32_t position) const {
        return position >= 0 && static_cast<size_t>(position) < entries_.size();
    }
    int32_t size() const { return static_cast<int32_t>(entries_.size()); }
    bool empty() const { return entries_.empty(); }
    const ListEntry& operator[](int32_t i) const { return entries_[static_cast<size_t>(i)]; }
    ListEntry& operator[](int32_t i) { return entries_[static_cast<size_t>(i)]; }
    const std::vector<ListEntry>& entries() const { return entries_; }

private:
    std::vector<ListEntry> entries_;
};

} // namespace qlx::engine
