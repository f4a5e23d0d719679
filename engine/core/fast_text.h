#pragma once
// The case-insensitive comparison of common/core/text.h (single-byte ASCII
// letters folded, other bytes unsigned), with a fast path over equal bytes:
// lookups and history walks compare mostly identical prefixes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/core/text.h"

namespace qlx::engine {

inline bool IsUpperAscii(unsigned char c) noexcept {
    return static_cast<unsigned char>(c - 'A') <= 'Z' - 'A';
}

inline int CompareFolded(std::string_view a, std::string_view b, const LeadBytes& lead) noexcept {
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
        // Only a letter can fold, and only a letter that is not the second
        // byte of a double-byte character (rare enough to look back for).
        if ((IsUpperAscii(x) || IsUpperAscii(y)) && !IsTrailByteAt(a, i, lead)) {
            if (IsUpperAscii(x)) {
                x = static_cast<unsigned char>(x - 'A' + 'a');
            }
            if (IsUpperAscii(y)) {
                y = static_cast<unsigned char>(y - 'A' + 'a');
            }
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

inline bool EqualsFolded(std::string_view a, std::string_view b, const LeadBytes& lead) noexcept {
    return a.size() == b.size() && CompareFolded(a, b, lead) == 0;
}

// Whether `haystack` contains `needle`, ignoring letter case. `needle` is
// lower-case ASCII and begins with a letter: only bytes that fold to that
// letter start a comparison.
inline bool ContainsFolded(std::string_view haystack, std::string_view needle) noexcept {
    if (needle.empty() || needle.size() > haystack.size()) {
        return needle.empty();
    }
    const char first = needle[0];
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if ((haystack[i] | 0x20) == first &&
            EqualsNoCase(haystack.substr(i, needle.size()), needle)) {
            return true;
        }
    }
    return false;
}

} // namespace qlx::engine
