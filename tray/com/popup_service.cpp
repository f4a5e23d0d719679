#include "tray/com/popup_service.h"

#include <new>

#include "common/win32/bstr.h"
#include "common/win32/com_guard.h"
#include "common/win32/com_module.h"
#include "common/win32/com_ptr.h"
#include "common/win32/registrar.h"
#include "common/win32/variant.h"
#include "common/win32/text_conv.h"
#include "tray/core/settings.h"

namespace qlx::tray {

namespace {

PopupServiceHost* g_host = nullptr;
ITypeInfo* g_typeInfo = nullptr; // owned; main thread only
bool g_typeInfoTried = false;

ITypeInfo* TypeInfo() noexcept {
    if (!g_typeInfoTried) {
        g_typeInfoTried = true;
        const std::wstring path = AnsiToWide(ModulePath(nullptr));
        ComPtr<ITypeLib> typeLib;
        if (SUCCEEDED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib.put()))) {
            typeLib->GetTypeInfoOfGuid(IID_IWexafel2, &g_typeInfo);
        }
    }
    return g_typeInfo;
}

class CQLX final : public IWexafel2 {
public:
    // IUnknown. Calls arrive on the main thread's apartment only, so the
    // count needs no interlocking.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IID_IWexafel2)) {
            *out = static_cast<IWexafel2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IDispatch, served from the type library.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) {
            return E_POINTER;
        }
        *count = TypeInfo() ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        ITypeInfo* info = TypeInfo();
        if (!info) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        info->AddRef();
        *out = info;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* info = TypeInfo();
        return info ? ::DispGetIDsOfNames(info, names, count, ids) : TYPE_E_CANTLOADLIBRARY;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        ITypeInfo* info = TypeInfo();
        return info ? ::DispInvoke(static_cast<IWexafel2*>(this), info, id, flags, params, result,
                                   excep, argErr)
                    : TYPE_E_CANTLOADLIBRARY;
    }

    // IWexafel2
    STDMETHODIMP get_Enable(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.BlockPopup; });
    }
    STDMETHODIMP Block(BSTR, BSTR bstrParentURL, BSTR bstrPopupURL, BSTR bstrProcess, ULONG Left,
                       ULONG Top, ULONG Width, ULONG Height, VARIANT_BOOL* pVal) override {
        if (!pVal) {
            return E_POINTER;
        }
        return ComGuard([&] {
            *pVal = VARIANT_FALSE;
            if (g_host) {
                const std::string parent = BstrToAnsi(bstrParentURL);
                const std::string popup = BstrToAnsi(bstrPopupURL);
                const std::string process = BstrToAnsi(bstrProcess);
                *pVal = ToVariantBool(
                    g_host->RecordBlockedPopup(parent, popup, {Left, Top, Width, Height}, process));
            }
            return S_OK;
        });
    }
    STDMETHODIMP Block2(BSTR, BSTR, ULONG, ULONG, ULONG, ULONG, VARIANT_BOOL* pVal) override {
        return Constant(pVal, false);
    }
    STDMETHODIMP BlockOnUserRequest(VARIANT_BOOL* pVal) override { return Constant(pVal, false); }
    STDMETHODIMP get_Normalize(VARIANT_BOOL* pVal) override { return Constant(pVal, true); }
    STDMETHODIMP get_Normalize2(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.Normalization; });
    }
    STDMETHODIMP get_NormalizeFitToDesktop(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.FitPopup; });
    }
    STDMETHODIMP get_NormalizeAddBorders(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.AddBorder; });
    }
    STDMETHODIMP get_NormalizeAddMenuAndToolbar(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.AddMenu; });
    }
    STDMETHODIMP get_Ignore(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.AllowPopup_PressButton; });
    }
    STDMETHODIMP get_IgnoreCtrl(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.AllowButtonNumber == 3; });
    }
    STDMETHODIMP get_IgnoreShift(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.AllowButtonNumber == 2; });
    }
    STDMETHODIMP get_IgnoreAlt(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.AllowButtonNumber == 1; });
    }

private:
    template <typename Read> static HRESULT Option(VARIANT_BOOL* pVal, Read read) noexcept {
        if (!pVal) {
            return E_POINTER;
        }
        *pVal = ToVariantBool(g_host && read(g_host->Settings()));
        return S_OK;
    }
    static HRESULT Constant(VARIANT_BOOL* pVal, bool value) noexcept {
        if (!pVal) {
            return E_POINTER;
        }
        *pVal = ToVariantBool(value);
        return S_OK;
    }

    ULONG refs_ = 1;
    ModuleLock lock_; // the server counts as in use while an instance lives
};

} // namespace

void SetPopupServiceHost(PopupServiceHost* host) noexcept {
    g_host = host;
}

HRESULT CreatePopupService(IUnknown* outer, REFIID iid, void** out) {
    // Objects of a local server cannot be aggregated across processes.
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    auto* object = new (std::nothrow) CQLX();
    if (!object) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

void ReleasePopupServiceTypeInfo() noexcept {
    if (g_typeInfo) {
        g_typeInfo->Release();
        g_typeInfo = nullptr;
    }
    g_typeInfoTried = false;
}

} // namespace qlx::tray
