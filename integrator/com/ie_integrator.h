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
#include "common/win32/com_ptr.h"
#include "integrator/core/decision_client.h"
#include "wx_integrator.h"

namespace qlx::integrator {

class PopupServiceSource;

class CIEIntegrator final : public IObjectWithSite, public IIEIntegrator, public IProvideClassInfo {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** site) override;

    // IDispatch: the type information of IIEIntegrator, and the event sink.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;

private:
    CIEIntegrator();
    ~CIEIntegrator();

    void Attach(IUnknown* site);
    bool BlockingOnAtAttachment();
    void Detach();
    void OnNewWindow();
    void OnBeforeNavigate(const DISPPARAMS& params);
    void OnDocumentComplete(const DISPPARAMS& params);

    std::atomic<ULONG> references_{1};
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
