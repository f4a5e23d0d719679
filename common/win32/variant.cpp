#include "common/win32/variant.h"

#include <new>

#include "common/win32/bstr.h"

namespace qlx {

namespace {

// The array a VARIANT holds, looking through one level of VT_BYREF (also a
// VT_BYREF|VT_VARIANT pointing at the array variant).
const SAFEARRAY* ArrayOf(const VARIANT& in, VARTYPE& elementType) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) {
        v = v->pvarVal;
    }
    if ((v->vt & VT_ARRAY) == 0) {
        return nullptr;
    }
    elementType = v->vt & VT_TYPEMASK;
    if (v->vt & VT_BYREF) {
        return v->pparray ? *v->pparray : nullptr;
    }
    return v->parray;
}

// The size of one element of the types the readers take; 0 for others.
UINT ElementSize(VARTYPE vt) {
    switch (vt) {
    case VT_VARIANT:
        return sizeof(VARIANT);
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return 4;
    default:
        return 0;
    }
}

// The element type the array really holds: the declared type of a VARIANT
// is the caller's word only, and reading by it could write past a local.
VARTYPE RealElementType(SAFEARRAY* sa, VARTYPE declared) {
    VARTYPE vt = VT_EMPTY;
    if (FAILED(::SafeArrayGetVartype(sa, &vt))) {
        // Arrays made without a recorded type: only their features say.
        const USHORT features = sa->fFeatures;
        if (features & FADF_VARIANT) {
            vt = VT_VARIANT;
        } else if (features & FADF_BSTR) {
            vt = VT_BSTR;
        } else if (features & (FADF_UNKNOWN | FADF_DISPATCH | FADF_RECORD)) {
            return VT_EMPTY;
        } else {
            vt = declared;
        }
    }
    return vt;
}

// Calls `each(VARIANT element)` for every element, converting non-variant
// element types into a temporary VARIANT of that type.
template <typename Each> HRESULT ForEachElement(const VARIANT& v, Each each) {
    VARTYPE vt = VT_EMPTY;
    const SAFEARRAY* csa = ArrayOf(v, vt);
    if (!csa) {
        return (v.vt & VT_ARRAY) ? E_INVALIDARG : DISP_E_TYPEMISMATCH;
    }
    SAFEARRAY* sa = const_cast<SAFEARRAY*>(csa);
    if (::SafeArrayGetDim(sa) != 1) {
        return E_INVALIDARG;
    }
    if (CheckedElementType(sa, vt) == VT_EMPTY) {
        return DISP_E_TYPEMISMATCH;
    }
    LONG lo = 0;
    LONG hi = -1;
    if (FAILED(::SafeArrayGetLBound(sa, 1, &lo)) || FAILED(::SafeArrayGetUBound(sa, 1, &hi))) {
        return E_INVALIDARG;
    }
    for (LONG i = lo; i <= hi; ++i) {
        Variant element;
        VARIANT* e = element.get();
        HRESULT hr = S_OK;
        switch (vt) {
        case VT_VARIANT:
            hr = ::SafeArrayGetElement(sa, &i, e); // copies, owned by `element`
            break;
        case VT_BSTR: {
            // Owned by `element` only once it was filled.
            BSTR text = nullptr;
            hr = ::SafeArrayGetElement(sa, &i, &text);
            if (SUCCEEDED(hr)) {
                e->vt = VT_BSTR;
                e->bstrVal = text;
            }
            break;
        }
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_BOOL:
            e->llVal = 0;
            hr = ::SafeArrayGetElement(sa, &i, &e->llVal);
            e->vt = vt;
            break;
        default:
            return DISP_E_TYPEMISMATCH;
        }
        if (FAILED(hr)) {
            return hr;
        }
        hr = each(*e);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

template <typename Int, VARTYPE Vt> HRESULT ReadIntArray(const VARIANT& v, std::vector<Int>& out) {
    std::vector<Int> items;
    HRESULT hr = ForEachElement(v, [&](VARIANT& e) {
        Variant converted;
        HRESULT chr = ::VariantChangeType(converted.get(), &e, 0, Vt);
        if (FAILED(chr)) {
            return DISP_E_TYPEMISMATCH;
        }
        if constexpr (Vt == VT_I2) {
            items.push_back(converted.get()->iVal);
        } else {
            items.push_back(converted.get()->lVal);
        }
        return S_OK;
    });
    if (SUCCEEDED(hr)) {
        out = std::move(items);
    }
    return hr;
}

template <typename Int>
void WriteIntArray(const std::vector<Int>& items, VARTYPE vt, VARIANT* out) {
    SafeArray sa = SafeArray::CreateVector(vt, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        Int value = items[static_cast<size_t>(i)];
        if (FAILED(::SafeArrayPutElement(sa.get(), &i, &value))) {
            throw std::bad_alloc();
        }
    }
    out->vt = static_cast<VARTYPE>(VT_ARRAY | vt);
    out->parray = sa.Detach();
}

} // namespace

VARTYPE CheckedElementType(SAFEARRAY* sa, VARTYPE declared) {
    if (sa == nullptr || ElementSize(declared) == 0 || RealElementType(sa, declared) != declared ||
        ::SafeArrayGetElemsize(sa) != ElementSize(declared)) {
        return VT_EMPTY;
    }
    return declared;
}

SafeArray SafeArray::CreateVector(VARTYPE vt, ULONG count) {
    SAFEARRAY* sa = ::SafeArrayCreateVector(vt, 0, count);
    if (!sa) {
        throw std::bad_alloc();
    }
    return SafeArray(sa);
}

HRESULT ReadStringArray(const VARIANT& v, std::vector<std::string>& out) {
    std::vector<std::string> items;
    HRESULT hr = ForEachElement(v, [&](VARIANT& e) {
        const VARIANT* s = &e;
        if (s->vt == (VT_BYREF | VT_VARIANT) && s->pvarVal) {
            s = s->pvarVal;
        }
        if (s->vt != VT_BSTR) {
            return DISP_E_TYPEMISMATCH;
        }
        items.push_back(BstrToAnsi(s->bstrVal));
        return S_OK;
    });
    if (SUCCEEDED(hr)) {
        out = std::move(items);
    }
    return hr;
}

HRESULT ReadInt16Array(const VARIANT& v, std::vector<int16_t>& out) {
    return ReadIntArray<int16_t, VT_I2>(v, out);
}

HRESULT ReadInt32Array(const VARIANT& v, std::vector<int32_t>& out) {
    return ReadIntArray<int32_t, VT_I4>(v, out);
}

void WriteStringArray(const std::vector<std::string>& items, VARIANT* out) {
    SafeArray sa = SafeArray::CreateVector(VT_BSTR, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        Bstr b = Bstr::FromAnsi(items[static_cast<size_t>(i)]);
        // SafeArrayPutElement copies the BSTR.
        if (FAILED(::SafeArrayPutElement(sa.get(), &i, b.get() ? b.get() : nullptr))) {
            throw std::bad_alloc();
        }
    }
    out->vt = VT_ARRAY | VT_BSTR;
    out->parray = sa.Detach();
}

void WriteInt16Array(const std::vector<int16_t>& items, VARIANT* out) {
    WriteIntArray(items, VT_I2, out);
}

void WriteInt32Array(const std::vector<int32_t>& items, VARIANT* out) {
    WriteIntArray(items, VT_I4, out);
}

} // namespace qlx
