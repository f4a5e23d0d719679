#include "common/core/text.h"

#include <algorithm>

namespace qlx {

int CompareNoCase(std::string_view a, std::string_view b) noexcept {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(FoldCase(a[i]));
        const auto cb = static_cast<unsigned char>(FoldCase(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) noexcept {
    if (needle.empty()) {
        return true;
    }
    auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                          [](char x, char y) { return FoldCase(x) == FoldCase(y); });
    return it != haystack.end();
}

std::string_view TrimAny(std::string_view s, std::string_view set) noexcept {
    const size_t first = s.find_first_not_of(set);
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(set) - first + 1);
}

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = FoldCase(c);
    }
    return out;
}

void FoldCaseInPlace(std::string& s, const LeadBytes& lead) noexcept {
    for (size_t i = 0; i < s.size(); ++i) {
        if (lead(static_cast<unsigned char>(s[i]))) {
            ++i; // the trail byte stays as it is
        } else {
            s[i] = FoldCase(s[i]);
        }
    }
}

std::string ToLower(std::string_view s, const LeadBytes& lead) {
    std::string out(s);
    FoldCaseInPlace(out, lead);
    return out;
}

int CompareNoCase(std::string_view a, std::string_view b, const LeadBytes& lead) noexcept {
    // Equal prefixes put both texts in the same place of a character, and
    // lead bytes never fold, so a difference is decided where it occurs.
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (ca == cb) {
            continue;
        }
        if (!IsTrailByteAt(a, i, lead)) {
            ca = static_cast<unsigned char>(FoldCase(static_cast<char>(ca)));
            cb = static_cast<unsigned char>(FoldCase(static_cast<char>(cb)));
        }
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::string_view WithoutTrailingChar(std::string_view s, char c, const LeadBytes& lead) noexcept {
    if (s.empty() || s.back() != c || IsTrailByteAt(s, s.size() - 1, lead)) {
        return s;
    }
    return s.substr(0, s.size() - 1);
}

} // namespace qlx
