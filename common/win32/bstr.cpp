#include "common/win32/bstr.h"

#include <climits>

#include "common/win32/text_conv.h"

namespace qlx {

Bstr::Bstr(std::wstring_view text) {
    if (text.size() > UINT_MAX / 2) {
        throw std::bad_alloc();
    }
    b_ = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b_) {
        throw std::bad_alloc();
    }
}

Bstr Bstr::FromAnsi(std::string_view text) {
    return Bstr(AnsiToWide(text));
}

std::string Bstr::ToAnsi() const {
    return WideToAnsi(view());
}

std::string BstrToAnsi(BSTR b) {
    return b ? WideToAnsi(std::wstring_view(b, ::SysStringLen(b))) : std::string();
}

} // namespace qlx
