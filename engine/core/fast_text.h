#pragma once
// The case-insensitive comparison of common/core/text.h (ASCII letters
// folded, other bytes unsigned), with a fast path over equal bytes: lookups
// and history walks compare mostly identical prefixes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qlx::engine {

inline int CompareFolded(std::string_view a, std::string_view b) noexcept {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    const auto* q = reinterpret_cast<const unsigned char*>(b.data());
    size_t i = 0;
    // Skip equal bytes eight at a time.
    for (; i + 8 <= n; i += 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, p + i, 8);
        std::memcpy(&y, q + i, 8);
        if (x != y) {
            break;
        }
    }
    for (; i < n; ++i) {
        unsigned char x = p[i];
        unsigned char y = q[i];
        if (x == y) {
            continue;
        }
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

inline bool EqualsFolded(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && CompareFolded(a, b) == 0;
}

// Whether `haystack` contains `needle`, ignoring letter case. `needle` is
// lower case and begins with a letter: only bytes that fold to that letter
// start a comparison.
inline bool ContainsFolded(std::string_view haystack, std::string_view needle) noexcept {
    if (needle.empty() || needle.size() > haystack.size()) {
        return needle.empty();
    }
    const char first = needle[0];
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if ((haystack[i] | 0x20) == first &&
            EqualsFolded(haystack.substr(i, needle.size()), needle)) {
            return true;
        }
    }
    return false;
}

} // namespace qlx::engine
