#pragma once
// The one way a thread enters COM: the apartment is entered for the life of
// the guard and left only if it was entered. A thread that owns COM pointers
// declares its guard before them, so that they are released first.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

namespace qlx {

class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : ComApartment(::CoInitializeEx(nullptr, model), &::CoUninitialize) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            leave_();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // False when the thread is in an apartment of another kind already
    // (RPC_E_CHANGED_MODE) or COM could not start.
    bool entered() const noexcept { return SUCCEEDED(hr_); }
    HRESULT result() const noexcept { return hr_; }

protected:
    using Leave = void(WINAPI*)();
    ComApartment(HRESULT hr, Leave leave) noexcept : hr_(hr), leave_(leave) {}

private:
    HRESULT hr_;
    Leave leave_;
};

// A single-threaded apartment with OLE on top (clipboard, drag and drop,
// in-place activation), for a thread that runs windows.
class OleApartment : public ComApartment {
public:
    OleApartment() noexcept : ComApartment(::OleInitialize(nullptr), &::OleUninitialize) {}
};

} // namespace qlx
