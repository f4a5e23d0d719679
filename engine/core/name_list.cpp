#include "engine/core/name_list.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "engine/core/fast_text.h"

namespace qlx::engine {

namespace {

std::string_view WithoutTrailingSlash(std::string_view s) {
    return (!s.empty() && s.back() == '/') ? s.substr(0, s.size() - 1) : s;
}

} // namespace

int NameList::Compare(std::string_view a, std::string_view b) const {
    return CompareFolded(a, b, *lead_);
}

uint64_t NameList::PrefixOf(std::string_view name) const {
    // Folded as the whole name folds, so the prefixes order as the names do:
    // a smaller prefix means a smaller name, and equal ones decide nothing.
    uint64_t key = 0;
    const size_t n = name.size() < 8 ? name.size() : 8;
    size_t i = 0;
    for (; i < n; ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (lead_->any() && (*lead_)(c)) {
            key = (key << 8) | c;
            if (++i == n) {
                break;
            }
            c = static_cast<unsigned char>(name[i]);
        } else if (IsUpperAscii(c)) {
            c = static_cast<unsigned char>(c - 'A' + 'a');
        }
        key = (key << 8) | c;
    }
    return n == 0 ? 0 : key << (8 * (8 - n));
}

const std::vector<uint64_t>& NameList::Prefixes() const {
    if (prefixes_.size() != entries_.size()) {
        prefixes_.resize(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) {
            prefixes_[i] = PrefixOf(entries_[i].name);
        }
    }
    return prefixes_;
}

std::vector<ListEntry>::const_iterator NameList::LowerBound(std::string_view key) const {
    const std::vector<uint64_t>& prefixes = Prefixes();
    const uint64_t prefix = PrefixOf(key);
    const auto first = std::lower_bound(prefixes.begin(), prefixes.end(), prefix);
    auto last = first;
    // Names that share the key's prefix: usually none or a few.
    while (last != prefixes.end() && *last == prefix && last - first < 8) {
        ++last;
    }
    if (last != prefixes.end() && *last == prefix) {
        last = std::upper_bound(last, prefixes.end(), prefix);
    }
    return std::lower_bound(
        entries_.begin() + (first - prefixes.begin()), entries_.begin() + (last - prefixes.begin()),
        key, [this](const ListEntry& e, std::string_view k) { return Compare(e.name, k) < 0; });
}

LookupResult NameList::Lookup(std::string_view name) const {
    const std::string_view key = WithoutTrailingSlash(name);
    const auto less = [this](const ListEntry& e, std::string_view k) {
        return Compare(e.name, k) < 0;
    };
    auto it = LowerBound(key);
    const auto hit = [&](auto pos) {
        return LookupResult{static_cast<int32_t>(pos - entries_.begin()), pos->check};
    };
    if (it == entries_.end() || it->name.size() < key.size() ||
        Compare(std::string_view(it->name).substr(0, key.size()), key) != 0) {
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
    if (it2 != entries_.end() && EqualsFolded(it2->name, slashed, *lead_)) {
        return hit(it2);
    }
    return {};
}

int32_t NameList::InsertSorted(std::string_view name, int32_t check) {
    auto it = std::upper_bound(
        entries_.begin(), entries_.end(), name,
        [this](std::string_view k, const ListEntry& e) { return Compare(k, e.name) < 0; });
    it = entries_.insert(it, ListEntry{std::string(name), check});
    prefixes_.clear();
    return static_cast<int32_t>(it - entries_.begin());
}

int32_t NameList::FindLinear(std::string_view name) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (EqualsFolded(entries_[i].name, name, *lead_)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

int32_t NameList::FindFirst(std::string_view name) const {
    const auto it = LowerBound(name);
    if (it == entries_.end() || !EqualsFolded(it->name, name, *lead_)) {
        return -1;
    }
    return static_cast<int32_t>(it - entries_.begin());
}

void NameList::MergeActive(const std::vector<std::string_view>& names) {
    // A name met again (as Lookup would find it among the ones inserted so
    // far) adds nothing: Lookup strips one trailing "/" from both sides.
    std::vector<std::string_view> fresh;
    std::vector<std::string> keys;
    for (std::string_view name : names) {
        const LookupResult found = Lookup(name);
        if (found.found()) {
            entries_[static_cast<size_t>(found.position)].check = 1;
        } else {
            keys.push_back(ToLower(WithoutTrailingSlash(name), *lead_));
            fresh.push_back(name);
        }
    }
    if (fresh.empty()) {
        return;
    }
    std::vector<size_t> order(fresh.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    // First occurrences only, in their original order.
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return keys[x] < keys[y]; });
    std::vector<bool> keep(fresh.size(), true);
    for (size_t i = 1; i < order.size(); ++i) {
        if (keys[order[i]] == keys[order[i - 1]]) {
            keep[order[i]] = false;
        }
    }
    std::vector<ListEntry> added;
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (keep[i]) {
            added.push_back(ListEntry{std::string(fresh[i]), 1});
        }
    }
    // Each goes after the equal entries already there and after the equal
    // names inserted before it: a stable merge with the list first.
    const auto less = [this](const ListEntry& x, const ListEntry& y) {
        return Compare(x.name, y.name) < 0;
    };
    std::stable_sort(added.begin(), added.end(), less);
    std::vector<ListEntry> merged;
    merged.reserve(entries_.size() + added.size());
    std::merge(std::make_move_iterator(entries_.begin()), std::make_move_iterator(entries_.end()),
               std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::back_inserter(merged), less);
    entries_ = std::move(merged);
    prefixes_.clear();
}

void NameList::EraseMarked(const std::vector<bool>& marked) {
    size_t out = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (i < marked.size() && marked[i]) {
            continue;
        }
        if (out != i) {
            entries_[out] = std::move(entries_[i]);
        }
        ++out;
    }
    entries_.resize(out);
    prefixes_.clear();
}

int32_t NameList::Resort(int32_t position) {
    ListEntry entry = std::move(entries_[static_cast<size_t>(position)]);
    entries_.erase(entries_.begin() + position);
    prefixes_.clear();
    return InsertSorted(entry.name, entry.check);
}

} // namespace qlx::engine
