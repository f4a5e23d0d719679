#pragma once
// COM methods must not let a C++ exception escape: run the body through
// ComGuard, which maps what was thrown to an HRESULT.
#include <windows.h>

#include <new>

namespace qlx {

template <typename Body> HRESULT ComGuard(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace qlx
