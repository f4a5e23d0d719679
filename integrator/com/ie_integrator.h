#pragma once
// CIEIntegrator: the object the browser creates in each of its windows. It
// attaches through IObjectWithSite, receives the window's DWebBrowserEvents2
// through its own IDispatch, and hands the two events that matter to the
// decision client.
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>

#include <atomic>
#include <memory>

#include "click_handler.h"
#include "common/win32/com_module.h"
#include "common/win32/com_object.h"
#include "common/win32/com_ptr.h"
#include "integrator/core/decision_client.h"
#include "wx_integrator.h"

namespace qlx::integrator {

class PopupServiceSource;

// The module's own type library (resource 1 of qlxi.dll). The browser
// helper takes any reserved IID, as it always has.
struct IntegratorTypes {
    static constexpr DispatchRules kRules{.refusesReservedIid = false};
    static HRESULT Load(REFGUID guid, ITypeInfo** info) noexcept;
};

class CIEIntegrator final
    : public ComObject<CIEIntegrator, IObjectWithSite,
                       Dispatch<IIEIntegrator, IID_IIEIntegrator, IntegratorTypes>,
                       IProvideClassInfo> {
public:
    using Interfaces = InterfaceTable<
        Answers<IObjectWithSite, IID_IObjectWithSite>, Answers<IIEIntegrator, IID_IIEIntegrator>,
        Answers<IIEIntegrator, IID_IDispatch>, Answers<IIEIntegrator, DIID_DWebBrowserEvents2>,
        Answers<IProvideClassInfo, IID_IProvideClassInfo>>;
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);
    CIEIntegrator();

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** site) override;

    // IDispatch: the type information of IIEIntegrator; Invoke is the event sink.
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

private:
    ~CIEIntegrator() override;

    void Attach(IUnknown* site);
    bool BlockingOnAtAttachment();
    void Detach();
    void OnNewWindow();
    void OnBeforeNavigate(const DISPPARAMS& params);
    void OnDocumentComplete(const DISPPARAMS& params);

    ModuleLock moduleLock_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IConnectionPoint> eventsPoint_;
    DWORD eventsCookie_ = 0;
    OSVERSIONINFOA version_{};
    WindowState window_;
    ClickFlag clicked_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<PopupServiceSource> serviceSource_;
};

} // namespace qlx::integrator
