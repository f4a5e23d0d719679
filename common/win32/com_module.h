#pragma once
// The server module: its lock count (live objects plus IClassFactory::LockServer
// locks), DllCanUnloadNow's answer, and the class factories of the three COM
// servers. A local server asks to be told when the count drops to zero so
// that it can end, as COM expects of a server it started.
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <functional>
#include <new>

#include "common/win32/com_guard.h"
#include "common/win32/com_object.h"
#include "common/win32/result.h"

namespace qlx {

class ComModule {
public:
    static ComModule& Instance() noexcept;

    void SetHandle(HMODULE module) noexcept { module_ = module; }
    HMODULE Handle() const noexcept { return module_; }

    LONG Lock() noexcept { return ++locks_; }
    LONG Unlock() noexcept;
    LONG LockCount() const noexcept { return locks_; }

    // S_OK when no object and no lock is left, else S_FALSE.
    HRESULT CanUnloadNow() const noexcept { return locks_ == 0 ? S_OK : S_FALSE; }

    // Called on the thread that drops the count to zero.
    void SetOnLastUnlock(std::function<void()> callback) { onLastUnlock_ = std::move(callback); }

private:
    ComModule() = default;
    std::atomic<LONG> locks_{0};
    HMODULE module_ = nullptr;
    std::function<void()> onLastUnlock_;
};

// Holds a module lock for the life of the object it is a member of.
class ModuleLock {
public:
    ModuleLock() noexcept { ComModule::Instance().Lock(); }
    ModuleLock(const ModuleLock&) noexcept : ModuleLock() {}
    ModuleLock& operator=(const ModuleLock&) noexcept { return *this; }
    ~ModuleLock() { ComModule::Instance().Unlock(); }
};

// A plain (non-singleton) class factory. `Creator` is a callable
//   HRESULT(IUnknown* outer, REFIID iid, void** out)
// that makes a new object, aggregated when `outer` is not null.
class ClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);
    using Interfaces = InterfaceTable<Answers<IClassFactory, IID_IClassFactory>>;
    explicit ClassFactory(Creator creator) noexcept : creator_(creator) {}

    // IUnknown. The factory lives as long as the module (static storage), so
    // its own references do not count; LockServer does.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return com_detail::QueryTable(this, this, iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        RETURN_IF_NULL_POINTER(out);
        *out = nullptr;
        // An aggregated object must be asked for its inner IUnknown.
        RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer && !IsEqualIID(iid, IID_IUnknown));
        return ComGuard([&] { return creator_(outer, iid, out); });
    }

    // DllGetClassObject of a module whose one class is `served`.
    HRESULT ForClass(REFCLSID served, REFCLSID asked, REFIID iid, void** out) noexcept {
        RETURN_IF_NULL_POINTER(out);
        *out = nullptr;
        RETURN_HR_IF(CLASS_E_CLASSNOTAVAILABLE, !IsEqualCLSID(asked, served));
        return QueryInterface(iid, out);
    }
    // An unlock without a lock of this factory's is ignored: a client's
    // stray LockServer(FALSE) must not release another object's hold.
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            ++locks_;
            ComModule::Instance().Lock();
            return S_OK;
        }
        LONG held = locks_.load();
        while (held > 0 && !locks_.compare_exchange_weak(held, held - 1)) {
        }
        if (held > 0) {
            ComModule::Instance().Unlock();
        }
        return S_OK;
    }

private:
    Creator creator_;
    std::atomic<LONG> locks_{0};
};

} // namespace qlx
