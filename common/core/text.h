#pragma once
// Text rules shared by every deliverable. Texts are narrow strings in the
// system's ANSI code page; names and addresses compare without regard to
// letter case. Case folding covers the ASCII letters only, so multibyte
// characters of any ANSI code page compare byte for byte and never split.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qlx {

// Which bytes begin a double-byte character in an ANSI code page (none in a
// single-byte one). Built once per code page from the system's lead-byte test.
class LeadBytes {
public:
    constexpr LeadBytes() = default;
    template <typename IsLead> static LeadBytes From(IsLead isLead) {
        LeadBytes t;
        for (unsigned c = 0; c < 256; ++c) {
            if (isLead(static_cast<unsigned char>(c))) {
                t.bits_[c >> 6] |= uint64_t{1} << (c & 63);
                t.any_ = true;
            }
        }
        return t;
    }
    bool operator()(unsigned char c) const noexcept {
        return ((bits_[c >> 6] >> (c & 63)) & 1) != 0;
    }
    // False for a single-byte code page: every byte is a character of its own.
    bool any() const noexcept { return any_; }
    bool operator==(const LeadBytes&) const = default;

private:
    std::array<uint64_t, 4> bits_{};
    bool any_ = false;
};

// Whether the byte at `i` is the second byte of a double-byte character.
// Trail bytes can take lead-byte values, so the run of lead-byte values just
// before `i` decides: it starts on a character boundary and pairs up.
inline bool IsTrailByteAt(std::string_view s, size_t i, const LeadBytes& lead) noexcept {
    if (!lead.any()) {
        return false;
    }
    size_t run = 0;
    while (run < i && lead(static_cast<unsigned char>(s[i - run - 1]))) {
        ++run;
    }
    return (run & 1) != 0;
}

// Lowers the single-byte letters only: in code pages 932, 936, 949 and 950
// the second byte of a character can fall in "A"-"Z".
void FoldCaseInPlace(std::string& s, const LeadBytes& lead) noexcept;
std::string ToLower(std::string_view s, const LeadBytes& lead);
// As CompareNoCase, leaving the bytes of double-byte characters as they are.
int CompareNoCase(std::string_view a, std::string_view b, const LeadBytes& lead) noexcept;
inline bool EqualsNoCase(std::string_view a, std::string_view b, const LeadBytes& lead) noexcept {
    return a.size() == b.size() && CompareNoCase(a, b, lead) == 0;
}
// `s` without its last byte when that byte is the single-byte character `c`
// (never the second half of a double-byte character such as 0x5C in 0x95 0x5C).
std::string_view WithoutTrailingChar(std::string_view s, char c, const LeadBytes& lead) noexcept;

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

// `s` without the characters of `set` at either end.
std::string_view TrimAny(std::string_view s, std::string_view set) noexcept;

// Ordering functor for sorted containers keyed by name.
struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return CompareNoCase(a, b) < 0;
    }
};

} // namespace qlx
