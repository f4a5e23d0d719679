#include "engine/core/name_list.h"

#include <algorithm>
#include <string>

#include "engine/core/fast_text.h"

namespace qlx::engine {

namespace {

std::string_view WithoutTrailingSlash(std::string_view s) {
    return (!s.empty() && s.back() == '/') ? s.substr(0, s.size() - 1) : s;
}

// Whether `s` starts with `prefix`, ignoring letter case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsFolded(s.substr(0, prefix.size()), prefix);
}

} // namespace

LookupResult NameList::Lookup(std::string_view name) const {
    const std::string_view key = WithoutTrailingSlash(name);
    const auto less = [](const ListEntry& e, std::string_view k) {
        return CompareFolded(e.name, k) < 0;
    };
    auto it = std::lower_bound(entries_.begin(), entries_.end(), key, less);
    const auto hit = [&](auto pos) {
        return LookupResult{static_cast<int32_t>(pos - entries_.begin()), pos->check};
    };
    if (it == entries_.end() || !StartsWithNoCase(it->name, key)) {
        return {}; // no name starts with the key, so "key/" is absent as well
    }
    // An entry equal to a key that still ends in "/" compares without its
    // own slash, so only "key/" can match such a key.
    if (it->name.size() == key.size() && (key.empty() || key.back() != '/')) {
        return hit(it);
    }
    // Names that extend the key form one run from here; "key/" lies within it.
    std::string slashed(key);
    slashed.push_back('/');
    auto it2 = std::lower_bound(it, entries_.end(), std::string_view(slashed), less);
    if (it2 != entries_.end() && EqualsFolded(it2->name, slashed)) {
        return hit(it2);
    }
    return {};
}

int32_t NameList::InsertSorted(std::string_view name, int32_t check) {
    auto it = std::upper_bound(
        entries_.begin(), entries_.end(), name,
        [](std::string_view k, const ListEntry& e) { return CompareFolded(k, e.name) < 0; });
    it = entries_.insert(it, ListEntry{std::string(name), check});
    return static_cast<int32_t>(it - entries_.begin());
}

int32_t NameList::FindLinear(std::string_view name) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (EqualsFolded(entries_[i].name, name)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t NameList::Resort(int32_t position) {
    ListEntry entry = std::move(entries_[static_cast<size_t>(position)]);
    entries_.erase(entries_.begin() + position);
    return InsertSorted(entry.name, entry.check);
}

} // namespace qlx::engine
