#include "ie_integrator.h"

#include <exdispid.h>
#include <mshtml.h>

#include "browser_window_adapter.h"
#include "common/win32/bstr.h"
#include "common/win32/com_guard.h"
#include "common/win32/result.h"
#include "integrator/core/hand_over_state.h"
#include "popup_service_client.h"
#include "system_surroundings.h"

namespace qlx::integrator {

namespace {

constexpr DWORD kVersionRecordSize = 148;
constexpr DWORD kNtPlatform = 2;
constexpr UINT kBeforeNavigateArgs = 7;

// Shared by the integrator objects of all windows of the browser process.
HandOverState& ProcessHandOver() {
    static HandOverState state;
    return state;
}

// The dispatch interface held by an event argument, by value or by reference.
IDispatch* DispatchArgument(const VARIANT& arg) {
    if (arg.vt == VT_DISPATCH) {
        return arg.pdispVal;
    }
    if (arg.vt == (VT_DISPATCH | VT_BYREF) && arg.ppdispVal) {
        return *arg.ppdispVal;
    }
    return nullptr;
}

std::string AddressArgument(const VARIANT& arg) {
    const VARIANT* v = &arg;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) {
        v = v->pvarVal;
    }
    if (v->vt == VT_BSTR) {
        return BstrToAnsi(v->bstrVal);
    }
    if (v->vt == (VT_BSTR | VT_BYREF) && v->pbstrVal) {
        return BstrToAnsi(*v->pbstrVal);
    }
    return {};
}

template <typename Each> void ForEachItem(IHTMLElementCollection* collection, Each&& each) {
    long length = 0;
    if (!collection || FAILED(collection->get_length(&length))) {
        return;
    }
    for (long i = 0; i < length; ++i) {
        VARIANT index;
        ::VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IDispatch> item;
        if (FAILED(collection->item(index, index, item.put())) || !item) {
            continue;
        }
        each(item);
    }
}

} // namespace

HRESULT CIEIntegrator::Create(IUnknown* outer, REFIID iid, void** out) {
    return CreateInstance<CIEIntegrator>(outer, iid, out);
}

HRESULT IntegratorTypes::Load(REFGUID guid, ITypeInfo** info) noexcept {
    return LoadTypeInfoOfModule(ComModule::Instance().Handle(), guid, info);
}

CIEIntegrator::CIEIntegrator() : serviceSource_(PopupServiceSource::ForThisThread()) {}

CIEIntegrator::~CIEIntegrator() = default;

// --- Attachment ----------------------------------------------------------------

STDMETHODIMP CIEIntegrator::SetSite(IUnknown* site) {
    // Whatever fails in here, the browser window goes on without us.
    try {
        if (site) {
            Attach(site);
        } else {
            Detach();
        }
    } catch (...) {
    }
    return S_OK;
}

void CIEIntegrator::Attach(IUnknown* site) {
    ComPtr<IWebBrowser2> browser;
    if (FAILED(site->QueryInterface(IID_IWebBrowser2, browser.put_void())) || !browser) {
        return;
    }
    Detach();
    browser_ = browser;

    if (TrayProgramRunning()) {
        if (!BlockingOnAtAttachment()) {
            return; // no service, or blocking off: this window stays unhandled
        }
        version_ = OSVERSIONINFOA{};
        version_.dwOSVersionInfoSize = kVersionRecordSize;
        ::GetVersionExA(&version_);
        window_.ntFamily = version_.dwPlatformId == kNtPlatform;
        window_.parentProcess = UnknownProcessName();
    }

    ComPtr<IConnectionPointContainer> container;
    if (FAILED(browser_.As(IID_IConnectionPointContainer, container))) {
        return;
    }
    ComPtr<IConnectionPoint> point;
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put())) || !point) {
        return;
    }
    DWORD cookie = 0;
    if (SUCCEEDED(point->Advise(static_cast<IIEIntegrator*>(this), &cookie))) {
        eventsPoint_ = point;
        eventsCookie_ = cookie;
    }
}

bool CIEIntegrator::BlockingOnAtAttachment() {
    ServiceEvent service(*serviceSource_);
    if (!service.Connected()) {
        return false;
    }
    try {
        return service.Enable() != 0;
    } catch (const ServiceFailure&) {
        return false;
    }
}

// The site goes away with its window: end the subscription so that neither
// holds the other alive.
void CIEIntegrator::Detach() {
    if (eventsPoint_) {
        eventsPoint_->Unadvise(eventsCookie_);
        eventsPoint_.reset();
        eventsCookie_ = 0;
    }
    browser_.reset();
}

STDMETHODIMP CIEIntegrator::GetSite(REFIID, void** site) {
    RETURN_IF_NULL_POINTER(site);
    *site = nullptr;
    return E_FAIL;
}

// --- Type information ----------------------------------------------------------

STDMETHODIMP CIEIntegrator::GetClassInfo(ITypeInfo** info) {
    return ModuleTypeInfo<IntegratorTypes>::Get(CLSID_CIEIntegrator, info);
}

// --- Browser events --------------------------------------------------------------

STDMETHODIMP CIEIntegrator::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    // Nothing that goes wrong in a handler may reach the browser: the
    // window is then simply let pass.
    try {
        switch (id) {
        case DISPID_NEWWINDOW2:
            OnNewWindow();
            break;
        case DISPID_BEFORENAVIGATE2:
            // Without its seven arguments there is no address to judge by.
            if (params && params->cArgs >= kBeforeNavigateArgs && params->rgvarg) {
                OnBeforeNavigate(*params);
            }
            break;
        case DISPID_DOCUMENTCOMPLETE:
            *clicked_ = false;
            if (params) {
                OnDocumentComplete(*params);
            }
            break;
        case DISPID_WINDOWCLOSING:
            *clicked_ = false;
            break;
        default:
            break;
        }
    } catch (...) {
    }
    return S_OK;
}

void CIEIntegrator::OnNewWindow() {
    if (!TrayProgramRunning() || !browser_) {
        return;
    }
    ProcessHandOver().WaitUntilHandedOver();
    ServiceEvent service(*serviceSource_);
    if (!service.Connected()) {
        return;
    }
    BrowserWindowAdapter asking(browser_);
    SystemSurroundings surroundings;
    window_.clicked = *clicked_;
    try {
        HandleNewWindowRequest(service, asking, surroundings, window_, ProcessHandOver());
    } catch (const ServiceFailure&) {
        // The tray program failed, ended or hung mid-way: the window is let pass.
    }
    *clicked_ = window_.clicked;
}

void CIEIntegrator::OnBeforeNavigate(const DISPPARAMS& params) {
    if (!TrayProgramRunning() || !browser_) {
        return;
    }
    const WindowGeometry geometry = ReadGeometry(browser_.get());
    ServiceEvent service(*serviceSource_);
    if (!service.Connected()) {
        return;
    }
    // The address is the second argument; the array holds them in reverse.
    const std::string url = AddressArgument(params.rgvarg[params.cArgs - 2]);
    BrowserWindowAdapter browser(browser_);
    SystemSurroundings surroundings;
    try {
        HandleNavigation(service, browser, surroundings, window_, ProcessHandOver(), url, geometry);
    } catch (const ServiceFailure&) {
        // The tray program failed, ended or hung mid-way: the window is let pass.
    }
}

void CIEIntegrator::OnDocumentComplete(const DISPPARAMS& params) {
    if (!TrayProgramRunning() || params.cArgs < 2 || !params.rgvarg) {
        return;
    }
    IDispatch* windowDispatch = DispatchArgument(params.rgvarg[params.cArgs - 1]);
    if (!windowDispatch) {
        return;
    }
    ComPtr<IWebBrowser2> completed;
    if (FAILED(windowDispatch->QueryInterface(IID_IWebBrowser2, completed.put_void())) ||
        !completed) {
        return;
    }
    ComPtr<IDispatch> documentDispatch;
    if (FAILED(completed->get_Document(documentDispatch.put())) || !documentDispatch) {
        return;
    }
    ComPtr<IHTMLDocument2> document;
    if (FAILED(documentDispatch.As(IID_IHTMLDocument2, document)) || !document) {
        return;
    }

    const Bstr onclick(L"onclick");
    ComPtr<IHTMLElementCollection> all;
    if (SUCCEEDED(document->get_all(all.put()))) {
        ForEachItem(all.get(), [&](const ComPtr<IDispatch>& item) {
            ComPtr<IHTMLElement> element;
            ComPtr<IHTMLElement2> element2;
            if (FAILED(item.As(IID_IHTMLElement, element)) ||
                FAILED(item.As(IID_IHTMLElement2, element2)) || !element2) {
                return;
            }
            const ComPtr<ClickHandler> handler = Make<ClickHandler>(clicked_);
            VARIANT_BOOL attached = VARIANT_FALSE;
            element2->attachEvent(onclick.get(), static_cast<IDispatch*>(handler.get()), &attached);
        });
    }
    ComPtr<IHTMLElementCollection> links;
    if (SUCCEEDED(document->get_links(links.put()))) {
        ForEachItem(links.get(), [&](const ComPtr<IDispatch>& item) {
            ComPtr<IHTMLElement2> element2;
            if (FAILED(item.As(IID_IHTMLElement2, element2)) || !element2) {
                return;
            }
            const ComPtr<ClickHandler> handler = Make<ClickHandler>(clicked_);
            VARIANT handlerVariant;
            ::VariantInit(&handlerVariant);
            handlerVariant.vt = VT_DISPATCH;
            handlerVariant.pdispVal = static_cast<IDispatch*>(handler.get());
            element2->put_oncontextmenu(handlerVariant);
        });
    }
}

} // namespace qlx::integrator
