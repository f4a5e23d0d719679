#include "tray/com/popup_service.h"

#include "common/win32/bstr.h"
#include "common/win32/com_guard.h"
#include "common/win32/com_module.h"
#include "common/win32/com_object.h"
#include "common/win32/com_ptr.h"
#include "common/win32/result.h"
#include "common/win32/variant.h"
#include "common/win32/text_conv.h"
#include "tray/core/settings.h"

namespace qlx::tray {

namespace {

PopupServiceHost* g_host = nullptr;

// The type library is the executable's own resource, so a load that failed
// would only fail again: it is tried once, and a failure answers as a library
// that cannot be loaded. The service takes any reserved IID, as it always has.
struct QuellixTypes {
    static constexpr DispatchRules kRules{.refusesReservedIid = false};
    static HRESULT Load(REFGUID guid, ITypeInfo** info) noexcept {
        static bool failed = false; // ModuleTypeInfo serialises the loads
        failed = failed || FAILED(LoadTypeInfoOfModule(nullptr, guid, info));
        return failed ? TYPE_E_CANTLOADLIBRARY : S_OK;
    }
};

class CQLX final : public ComObject<CQLX, Dispatch<IWexafel2, IID_IWexafel2, QuellixTypes>> {
public:
    using Interfaces =
        InterfaceTable<Answers<IWexafel2, IID_IWexafel2>, Answers<IWexafel2, IID_IDispatch>>;

    // IWexafel2
    STDMETHODIMP get_Enable(VARIANT_BOOL* pVal) override {
        return Option(pVal, [](const CSettings& s) { return s.BlockPopup; });
    }
    STDMETHODIMP Block(BSTR, BSTR bstrParentURL, BSTR bstrPopupURL, BSTR bstrProcess, ULONG Left,
                       ULONG Top, ULONG Width, ULONG Height, VARIANT_BOOL* pVal) override {
        RETURN_IF_NULL_POINTER(pVal);
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
        RETURN_IF_NULL_POINTER(pVal);
        *pVal = ToVariantBool(g_host && read(g_host->Settings()));
        return S_OK;
    }
    static HRESULT Constant(VARIANT_BOOL* pVal, bool value) noexcept {
        RETURN_IF_NULL_POINTER(pVal);
        *pVal = ToVariantBool(value);
        return S_OK;
    }

    ModuleLock lock_; // the server counts as in use while an instance lives
};

} // namespace

void SetPopupServiceHost(PopupServiceHost* host) noexcept {
    g_host = host;
}

// Objects of a local server cannot be aggregated across processes.
HRESULT CreatePopupService(IUnknown* outer, REFIID iid, void** out) {
    return CreateInstance<CQLX>(outer, iid, out);
}

void ReleasePopupServiceTypeInfo() noexcept {
    ModuleTypeInfo<QuellixTypes>::Clear();
}

} // namespace qlx::tray
