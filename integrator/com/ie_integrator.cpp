#include "ie_integrator.h"

#include <exdispid.h>
#include <mshtml.h>

#include "browser_window_adapter.h"
#include "common/win32/bstr.h"
#include "common/win32/com_guard.h"
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

HRESULT LoadOwnTypeInfo(REFGUID guid, ITypeInfo** info) {
    if (!info) {
        return E_POINTER;
    }
    *info = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (::GetModuleFileNameW(ComModule::Instance().Handle(), path, MAX_PATH) == 0) {
        return E_FAIL;
    }
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, library.put());
    if (FAILED(hr)) {
        return hr;
    }
    return library->GetTypeInfoOfGuid(guid, info);
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
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    ComPtr<IObjectWithSite> object =
        ComPtr<IObjectWithSite>::Attach(static_cast<IObjectWithSite*>(new CIEIntegrator));
    return object->QueryInterface(iid, out);
}

CIEIntegrator::CIEIntegrator() : serviceSource_(PopupServiceSource::ForThisThread()) {}

CIEIntegrator::~CIEIntegrator() = default;

STDMETHODIMP CIEIntegrator::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IObjectWithSite)) {
        *out = static_cast<IObjectWithSite*>(this);
    } else if (IsEqualIID(iid, IID_IIEIntegrator) || IsEqualIID(iid, IID_IDispatch) ||
               IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        *out = static_cast<IIEIntegrator*>(this);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo)) {
        *out = static_cast<IProvideClassInfo*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CIEIntegrator::AddRef() {
    return ++references_;
}

STDMETHODIMP_(ULONG) CIEIntegrator::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

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
    if (!site) {
        return E_POINTER;
    }
    *site = nullptr;
    return E_FAIL;
}

// --- Type information ----------------------------------------------------------

STDMETHODIMP CIEIntegrator::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    ComPtr<ITypeInfo> info;
    *count = SUCCEEDED(LoadOwnTypeInfo(IID_IIEIntegrator, info.put())) ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CIEIntegrator::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    return LoadOwnTypeInfo(IID_IIEIntegrator, info);
}

STDMETHODIMP CIEIntegrator::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ComPtr<ITypeInfo> info;
    const HRESULT hr = LoadOwnTypeInfo(IID_IIEIntegrator, info.put());
    if (FAILED(hr)) {
        return hr;
    }
    return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CIEIntegrator::GetClassInfo(ITypeInfo** info) {
    return LoadOwnTypeInfo(CLSID_CIEIntegrator, info);
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
            ComPtr<IDispatch> handler(new ClickHandler(clicked_));
            VARIANT_BOOL attached = VARIANT_FALSE;
            element2->attachEvent(onclick.get(), handler.get(), &attached);
        });
    }
    ComPtr<IHTMLElementCollection> links;
    if (SUCCEEDED(document->get_links(links.put()))) {
        ForEachItem(links.get(), [&](const ComPtr<IDispatch>& item) {
            ComPtr<IHTMLElement2> element2;
            if (FAILED(item.As(IID_IHTMLElement2, element2)) || !element2) {
                return;
            }
            ComPtr<IDispatch> handler(new ClickHandler(clicked_));
            VARIANT handlerVariant;
            ::VariantInit(&handlerVariant);
            handlerVariant.vt = VT_DISPATCH;
            handlerVariant.pdispVal = handler.get();
            element2->put_oncontextmenu(handlerVariant);
        });
    }
}

} // namespace qlx::integrator
