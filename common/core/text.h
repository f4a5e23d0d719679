#pragma once
// Text rules shared by every deliverable. Texts are narrow strings in the
// system's ANSI code page; names and addresses compare without regard to
// letter case. Case folding covers the ASCII letters only, so multibyte
// characters of any ANSI code page compare byte for byte and never split.
#include <string>
#include <string_view>

namespace qlx {

inline char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// <0, 0 or >0 as a's folded bytes (unsigned) compare with b's; a shorter
// string that is a prefix of the other is smaller.
int CompareNoCase(std::string_view a, std::string_view b) noexcept;

inline bool EqualsNoCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// Whether `needle` occurs in `haystack`, ignoring letter case. An empty
// needle is found everywhere.
bool ContainsNoCase(std::string_view haystack, std::string_view needle) noexcept;

std::string ToLower(std::string_view s);

// Ordering functor for sorted containers keyed by name.
struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return CompareNoCase(a, b) < 0;
    }
};

} // namespace qlx
