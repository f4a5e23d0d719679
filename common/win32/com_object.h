#pragma once
// The one way a COM class of the servers (and of their test stand-ins) is
// written:
//
//   class Thing final : public ComObject<Thing, IThing, IOther> {
//   public:
//       using Interfaces = InterfaceTable<Answers<IThing, IID_IThing>,
//                                         Answers<IThing, IID_IDispatch>,
//                                         Answers<IOther, IID_IOther>>;
//       ...
//   };
//   ComPtr<Thing> thing = Make<Thing>(arguments...);
//
// - The count is interlocked and starts at 1: the reference `Make` hands
//   out in a ComPtr. The object is deleted when it drops to 0.
// - QueryInterface is a flat walk of the class's table; IUnknown is answered
//   with the table's first interface, so identity holds.
// - `Dispatch<I, Library>` in place of `I` serves the four IDispatch members
//   of a dual interface from the class's type information, loaded once per
//   module (see ModuleTypeInfo) and released with it.
// - A class the engine offers for aggregation derives from AggregableObject
//   instead: its interfaces delegate to the controlling unknown and a
//   non-delegating inner unknown owns the count.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <atomic>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "common/win32/com_guard.h"
#include "common/win32/com_ptr.h"
#include "common/win32/result.h"

namespace qlx {

// One row of an interface table: asked for `Iid`, the object answers with
// its `Interface` base.
template <typename Interface_, const IID& Iid> struct Answers {
    using Interface = Interface_;
    static const IID& iid() noexcept { return Iid; }
};

template <typename First, typename... Rest> struct InterfaceTable {
    using Primary = typename First::Interface;
};

namespace com_detail {

template <typename Object, typename... Rows>
void* FindInterface(Object* self, REFIID iid, InterfaceTable<Rows...>*) noexcept {
    void* found = nullptr;
    (void)((IsEqualIID(iid, Rows::iid()) &&
            (found = static_cast<typename Rows::Interface*>(self), true)) ||
           ...);
    return found;
}

// The table walk behind every QueryInterface: `unknown` answers IID_IUnknown.
template <typename Object>
HRESULT QueryTable(Object* self, IUnknown* unknown, REFIID iid, void** out) noexcept {
    RETURN_IF_NULL_POINTER(out);
    *out = IsEqualIID(iid, IID_IUnknown)
               ? unknown
               : FindInterface(self, iid, static_cast<typename Object::Interfaces*>(nullptr));
    if (*out == nullptr) {
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

class RefCount {
public:
    ULONG Add() noexcept { return ++count_; }
    ULONG Drop() noexcept { return --count_; }

private:
    std::atomic<ULONG> count_{1};
};

} // namespace com_detail

template <typename Derived, typename... Bases> class ComObject : public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        Derived* self = static_cast<Derived*>(this);
        using Primary = typename Derived::Interfaces::Primary;
        return com_detail::QueryTable(self, static_cast<Primary*>(self), iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return refs_.Add(); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0) {
            delete this;
        }
        return left;
    }

    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    com_detail::RefCount refs_;
};

// A new object with its first reference.
template <typename T, typename... Args> ComPtr<T> Make(Args&&... args) {
    return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
}

// A class factory's creator for a class that is not aggregated.
template <typename T> HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    RETURN_IF_NULL_POINTER(out);
    *out = nullptr;
    RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer != nullptr);
    return Make<T>()->QueryInterface(iid, out);
}

// An object that can be aggregated. Its interfaces' IUnknown delegate to
// the controlling unknown (the outer object, or its own inner unknown when
// it stands alone); the inner unknown counts and walks the table.
template <typename Derived, typename... Bases> class AggregableObject : public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return outer_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    AggregableObject(const AggregableObject&) = delete;
    AggregableObject& operator=(const AggregableObject&) = delete;

    // A class factory's creator: an aggregated object must be asked for its
    // inner unknown, which the aggregate then holds.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) {
        RETURN_IF_NULL_POINTER(out);
        *out = nullptr;
        RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer != nullptr && !IsEqualIID(iid, IID_IUnknown));
        AggregableObject* object = new Derived(outer);
        const HRESULT hr = object->inner_.QueryInterface(iid, out);
        object->inner_.Release(); // the creation reference
        return hr;
    }

protected:
    explicit AggregableObject(IUnknown* outer) noexcept
        : outer_(outer != nullptr ? outer : &inner_) {}
    virtual ~AggregableObject() = default;

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(AggregableObject& self) noexcept : self_(self) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
            return com_detail::QueryTable(static_cast<Derived*>(&self_), this, iid, out);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return refs_.Add(); }
        STDMETHODIMP_(ULONG) Release() override {
            const ULONG left = refs_.Drop();
            if (left == 0) {
                delete &self_;
            }
            return left;
        }

    private:
        AggregableObject& self_;
        com_detail::RefCount refs_;
    };

    Inner inner_{*this};
    IUnknown* outer_;
};

// --- Type information ---------------------------------------------------------

// Where a module's type information comes from. `Library` is a type with
//   static HRESULT Load(REFGUID guid, ITypeInfo** info);
// The information of each GUID is loaded once for the module, on first use
// (a failed load is tried again next time), and held until Clear or until
// the module goes.
template <typename Library> class ModuleTypeInfo {
public:
    static HRESULT Get(REFGUID guid, ITypeInfo** out) noexcept {
        RETURN_IF_NULL_POINTER(out);
        *out = nullptr;
        return ComGuard([&] {
            Cache& cache = Instance();
            const std::lock_guard lock(cache.mutex);
            for (const auto& [held, known] : cache.infos) {
                if (IsEqualGUID(held, guid)) {
                    return known.CopyTo(out);
                }
            }
            ComPtr<ITypeInfo> info;
            RETURN_IF_FAILED(Library::Load(guid, info.put()));
            RETURN_HR_IF(E_UNEXPECTED, !info);
            cache.infos.emplace_back(guid, info);
            return info.CopyTo(out);
        });
    }

    // For a program that must let go of OLE objects before it leaves OLE.
    static void Clear() noexcept {
        Cache& cache = Instance();
        std::vector<std::pair<GUID, ComPtr<ITypeInfo>>> gone;
        const std::lock_guard lock(cache.mutex);
        gone.swap(cache.infos);
    }

private:
    struct Cache {
        std::mutex mutex;
        std::vector<std::pair<GUID, ComPtr<ITypeInfo>>> infos;
    };
    static Cache& Instance() noexcept {
        static Cache cache;
        return cache;
    }
};

// Type information from the type-library resource of a module (null: the
// program's executable).
HRESULT LoadTypeInfoOfModule(HMODULE module, REFGUID guid, ITypeInfo** info) noexcept;

// Type information from a registered type library.
HRESULT LoadRegisteredTypeInfo(REFGUID libraryId, WORD major, WORD minor, LCID locale, REFGUID guid,
                               ITypeInfo** info) noexcept;

// How a library's objects answer the corner cases of IDispatch. Clients
// of a server rely on the answers it has always given, so a library may
// declare its own as `static constexpr DispatchRules kRules`.
struct DispatchRules {
    // GetTypeInfoCount says 1 even when the type information does not load
    // (GetTypeInfo then gives the loading error); otherwise it says 0.
    bool countsTypeInfoItCannotLoad = false;
    // GetIDsOfNames and Invoke refuse a reserved IID other than IID_NULL.
    bool refusesReservedIid = true;
    // GetTypeInfo answers a wrong index before it looks at the pointer.
    bool checksIndexFirst = false;
};

namespace com_detail {
template <typename Library> constexpr DispatchRules RulesOf() noexcept {
    if constexpr (requires { Library::kRules; }) {
        return Library::kRules;
    } else {
        return DispatchRules{};
    }
}
} // namespace com_detail

// The IDispatch members of the dual interface `I`, served from I's type
// information: GetTypeInfo knows index 0 only; GetIDsOfNames and Invoke fail
// with the loading error when there is no type information. The library's
// DispatchRules settle the rest.
template <typename I, const IID& Iid, typename Library> class Dispatch : public I {
    static constexpr DispatchRules kRules = com_detail::RulesOf<Library>();

public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        RETURN_IF_NULL_POINTER(count);
        ComPtr<ITypeInfo> info;
        *count = kRules.countsTypeInfoItCannotLoad || SUCCEEDED(TypeInfo(info.put())) ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        RETURN_HR_IF(DISP_E_BADINDEX, kRules.checksIndexFirst && index != 0);
        RETURN_IF_NULL_POINTER(info);
        *info = nullptr;
        RETURN_HR_IF(DISP_E_BADINDEX, index != 0);
        return TypeInfo(info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE,
                     kRules.refusesReservedIid && !IsEqualIID(iid, IID_NULL));
        ComPtr<ITypeInfo> info;
        RETURN_IF_FAILED(TypeInfo(info.put()));
        return ::DispGetIDsOfNames(info.get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        RETURN_HR_IF(DISP_E_UNKNOWNINTERFACE,
                     kRules.refusesReservedIid && !IsEqualIID(iid, IID_NULL));
        ComPtr<ITypeInfo> info;
        RETURN_IF_FAILED(TypeInfo(info.put()));
        return ::DispInvoke(static_cast<I*>(this), info.get(), id, flags, params, result, exception,
                            argError);
    }

protected:
    static HRESULT TypeInfo(ITypeInfo** info) noexcept {
        return ModuleTypeInfo<Library>::Get(Iid, info);
    }
};

// The IDispatch members of an interface for an object that has no type
// information and is only called early bound (the tests' stand-ins for the
// browser's and the tray program's objects): it declares no type
// information and late binding is not implemented.
template <typename I> class WithoutTypeInfo : public I {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        RETURN_IF_NULL_POINTER(count);
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return E_NOTIMPL;
    }
};

} // namespace qlx
