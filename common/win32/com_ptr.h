#pragma once
// A COM interface pointer that releases what it holds.
#include <windows.h>
#include <objbase.h>

#include <utility>

namespace qlx {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p`.
    explicit ComPtr(T* p) noexcept : p_(p) {
        if (p_) {
            p_->AddRef();
        }
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static ComPtr Attach(T* p) noexcept {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    T* Detach() noexcept { return std::exchange(p_, nullptr); }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // For out-parameters such as CoCreateInstance(..., IID_PPV_ARGS(ptr.put())).
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    template <typename U> HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept {
        if (!p_) {
            return E_POINTER;
        }
        return p_->QueryInterface(iid, out.put_void());
    }
    template <typename U> HRESULT As(ComPtr<U>& out) const noexcept { return As(__uuidof(U), out); }

    // Hands a new reference out through a caller's out-parameter.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) {
            return E_POINTER;
        }
        *out = p_;
        if (p_) {
            p_->AddRef();
        }
        return S_OK;
    }

private:
    T* p_ = nullptr;
};

} // namespace qlx
