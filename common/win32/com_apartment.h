#pragma once
// The one way a thread enters COM: the apartment is entered for the life of
// the guard and left only if it was entered.
#include <windows.h>
#include <objbase.h>

namespace qlx {

class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // False when the thread is in an apartment of another kind already
    // (RPC_E_CHANGED_MODE) or COM could not start.
    bool entered() const noexcept { return SUCCEEDED(hr_); }
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

} // namespace qlx
