#pragma once
// Owned VARIANT and SAFEARRAY, and typed access to the one-dimensional arrays
// that cross our COM interfaces: VT_ARRAY|VT_BSTR, VT_ARRAY|VT_I2,
// VT_ARRAY|VT_I4, and VT_ARRAY|VT_VARIANT holding integers or strings (the
// form in which script clients pass arrays).
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qlx {

// VARIANT_BOOL both ways. Only VARIANT_TRUE (-1) is true: 1 and any other
// value a client passes count as false.
constexpr VARIANT_BOOL ToVariantBool(bool value) noexcept {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}
constexpr bool FromVariantBool(VARIANT_BOOL value) noexcept {
    return value == VARIANT_TRUE;
}

class Variant {
public:
    Variant() noexcept { ::VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
    ~Variant() { ::VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }
    // Moves the value into a caller's VARIANT (which must be empty or cleared).
    void Detach(VARIANT* out) noexcept {
        *out = v_;
        ::VariantInit(&v_);
    }

private:
    VARIANT v_;
};

class SafeArray {
public:
    SafeArray() noexcept = default;
    explicit SafeArray(SAFEARRAY* sa) noexcept : sa_(sa) {}
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& other) noexcept : sa_(std::exchange(other.sa_, nullptr)) {}
    SafeArray& operator=(SafeArray&& other) noexcept {
        std::swap(sa_, other.sa_);
        return *this;
    }
    ~SafeArray() {
        if (sa_) {
            ::SafeArrayDestroy(sa_);
        }
    }
    // A zero-based vector; throws std::bad_alloc when it cannot be made.
    static SafeArray CreateVector(VARTYPE vt, ULONG count);

    SAFEARRAY* get() const noexcept { return sa_; }
    SAFEARRAY* Detach() noexcept { return std::exchange(sa_, nullptr); }

private:
    SAFEARRAY* sa_ = nullptr;
};

// Readers accept the array directly or by reference (VT_BYREF), one
// dimension only. They return S_OK, DISP_E_TYPEMISMATCH for another type, an
// array whose real element type or size differs from the declared one, or an
// element that does not convert, or E_INVALIDARG for a null or
// multi-dimensional array.
// The element type and size the array really has, or VT_EMPTY when it is not
// what `declared` says (nothing is read from it then).
VARTYPE CheckedElementType(SAFEARRAY* sa, VARTYPE declared);
HRESULT ReadStringArray(const VARIANT& v, std::vector<std::string>& out);
HRESULT ReadInt16Array(const VARIANT& v, std::vector<int16_t>& out);
HRESULT ReadInt32Array(const VARIANT& v, std::vector<int32_t>& out);

// Writers fill `out` with a new array. `out` is treated as an [out]
// parameter: whatever it held is neither read nor freed (use Variant::put()
// to reuse an owned one). They throw std::bad_alloc when memory runs out.
void WriteStringArray(const std::vector<std::string>& items, VARIANT* out);
void WriteInt16Array(const std::vector<int16_t>& items, VARIANT* out);
void WriteInt32Array(const std::vector<int32_t>& items, VARIANT* out);

} // namespace qlx
