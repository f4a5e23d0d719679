#include "engine/com/thread_text.h"

#include <climits>
#include <new>

#include "common/win32/variant.h"

namespace qlx::engine {

namespace {

UINT ThreadCodePage(LCID locale) {
    UINT codePage = 0;
    if (::GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                         reinterpret_cast<LPWSTR>(&codePage),
                         sizeof(codePage) / sizeof(WCHAR)) == 0 ||
        codePage == 0) {
        codePage = ::GetACP();
    }
    return codePage;
}

} // namespace

const LeadBytes& ThreadLeadBytes() {
    thread_local LCID locale = static_cast<LCID>(-1);
    thread_local UINT codePage = 0;
    thread_local LeadBytes table;
    const LCID now = ::GetThreadLocale();
    if (now != locale) {
        locale = now;
        const UINT cp = ThreadCodePage(now);
        if (cp != codePage) {
            codePage = cp;
            table = LeadBytes::From(
                [cp](unsigned char c) { return ::IsDBCSLeadByteEx(cp, c) != FALSE; });
        }
    }
    return table;
}

std::string ThreadAnsiOf(BSTR text) {
    const UINT n = text != nullptr ? ::SysStringLen(text) : 0;
    if (n == 0 || n > INT_MAX) {
        return {};
    }
    const int len = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(n), nullptr, 0,
                                          nullptr, nullptr);
    std::string out(static_cast<size_t>(len > 0 ? len : 0), '\0');
    if (len > 0) {
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(n), out.data(), len, nullptr,
                              nullptr);
    }
    return out;
}

Bstr ThreadAnsiBstr(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return Bstr(std::wstring_view());
    }
    const int n = static_cast<int>(text.size());
    const int len = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), n, nullptr, 0);
    std::wstring wide(static_cast<size_t>(len > 0 ? len : 0), L'\0');
    if (len > 0) {
        ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), n, wide.data(), len);
    }
    return Bstr(wide);
}

void WriteThreadAnsiArray(const std::vector<std::string>& items, VARIANT* out) {
    SafeArray sa = SafeArray::CreateVector(VT_BSTR, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        const Bstr b = ThreadAnsiBstr(items[static_cast<size_t>(i)]);
        // SafeArrayPutElement copies the BSTR.
        if (FAILED(::SafeArrayPutElement(sa.get(), &i, b.get()))) {
            throw std::bad_alloc();
        }
    }
    out->vt = VT_ARRAY | VT_BSTR; // an [out] parameter: what it held is not ours

    out->parray = sa.Detach();
}

} // namespace qlx::engine
