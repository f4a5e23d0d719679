#include "common/win32/text_conv.h"

#include <climits>

namespace qlx {

std::wstring AnsiToWide(std::string_view text, UINT codePage) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int n = static_cast<int>(text.size());
    const int len = ::MultiByteToWideChar(codePage, 0, text.data(), n, nullptr, 0);
    std::wstring out(static_cast<size_t>(len > 0 ? len : 0), L'\0');
    if (len > 0) {
        ::MultiByteToWideChar(codePage, 0, text.data(), n, out.data(), len);
    }
    return out;
}

std::string WideToAnsi(std::wstring_view text, UINT codePage) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int n = static_cast<int>(text.size());
    const int len =
        ::WideCharToMultiByte(codePage, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(len > 0 ? len : 0), '\0');
    if (len > 0) {
        ::WideCharToMultiByte(codePage, 0, text.data(), n, out.data(), len, nullptr, nullptr);
    }
    return out;
}

} // namespace qlx
