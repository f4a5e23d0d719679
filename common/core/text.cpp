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

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = FoldCase(c);
    }
    return out;
}

} // namespace qlx
