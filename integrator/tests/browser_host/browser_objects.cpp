#include "browser_objects.h"

#include <algorithm>

#include <exdispid.h>

#include "common/win32/bstr.h"

namespace qlx::browser_host {

namespace {

template <typename Interface> HRESULT Hand(Interface* p, void** out) {
    *out = p;
    p->AddRef();
    return S_OK;
}

HRESULT PutBstr(const std::string& text, BSTR* out) {
    if (!out) {
        return E_POINTER;
    }
    *out = Bstr::FromAnsi(text).Detach();
    return S_OK;
}

VARIANT_BOOL ComBool(bool b) {
    return b ? VARIANT_TRUE : VARIANT_FALSE;
}

void InvokeWithDispid0(IDispatch* handler) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    ::VariantInit(&result);
    handler->Invoke(0, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
                    nullptr);
    ::VariantClear(&result);
}

} // namespace

// --- Elements and document -----------------------------------------------------

STDMETHODIMP HtmlElement::attachEvent(BSTR event, IDispatch* handler, VARIANT_BOOL* result) {
    if (!handler || !result) {
        return E_POINTER;
    }
    if (BstrToAnsi(event) != "onclick") {
        *result = VARIANT_FALSE;
        return S_OK;
    }
    onclick_.emplace_back(handler);
    *result = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP HtmlElement::put_oncontextmenu(VARIANT handler) {
    if (handler.vt != VT_DISPATCH) {
        return E_INVALIDARG;
    }
    oncontextmenu_ = ComPtr<IDispatch>(handler.pdispVal);
    return S_OK;
}

void HtmlElement::Click() {
    for (const auto& handler : std::vector<ComPtr<IDispatch>>(onclick_)) {
        InvokeWithDispid0(handler.get());
    }
}

void HtmlElement::ContextMenu() {
    if (ComPtr<IDispatch> handler = oncontextmenu_) {
        InvokeWithDispid0(handler.get());
    }
}

STDMETHODIMP HtmlElementCollection::get_length(LONG* length) {
    if (!length) {
        return E_POINTER;
    }
    *length = static_cast<LONG>(items_.size());
    return S_OK;
}

STDMETHODIMP HtmlElementCollection::item(VARIANT name, VARIANT index, IDispatch** element) {
    if (!element) {
        return E_POINTER;
    }
    *element = nullptr;
    // The integrator passes the position as a 32-bit integer in both.
    if (name.vt != VT_I4 || index.vt != VT_I4) {
        return E_INVALIDARG;
    }
    if (name.lVal < 0 || static_cast<size_t>(name.lVal) >= items_.size()) {
        return E_INVALIDARG;
    }
    return Hand(static_cast<IHTMLElement*>(items_[name.lVal].get()),
                reinterpret_cast<void**>(element));
}

HtmlDocument::HtmlDocument() {
    // html, body, a paragraph, and two links
    for (bool isLink : {false, false, false, true, true}) {
        elements_.push_back(Make<HtmlElement>(isLink));
    }
}

STDMETHODIMP HtmlDocument::get_all(IHTMLElementCollection** all) {
    if (!all) {
        return E_POINTER;
    }
    *all = Make<HtmlElementCollection>(elements_).Detach();
    return S_OK;
}

STDMETHODIMP HtmlDocument::get_links(IHTMLElementCollection** links) {
    if (!links) {
        return E_POINTER;
    }
    std::vector<ComPtr<HtmlElement>> only;
    for (const auto& e : elements_) {
        if (e->IsLink()) {
            only.push_back(e);
        }
    }
    *links = Make<HtmlElementCollection>(std::move(only)).Detach();
    return S_OK;
}

HtmlElement& HtmlDocument::FirstLink() {
    for (const auto& e : elements_) {
        if (e->IsLink()) {
            return *e.get();
        }
    }
    return *elements_.front().get();
}

// --- The browser ------------------------------------------------------------------

Browser::Browser(HWND window, const BrowserChrome& chrome) : window_(window), chrome_(chrome) {}

RECT Browser::WindowRect() const {
    RECT r{};
    ::GetWindowRect(window_, &r);
    return r;
}

#define QLX_HOST_OUT(p)                                                                            \
    if (!(p)) {                                                                                    \
        return E_POINTER;                                                                          \
    }

STDMETHODIMP Browser::get_Left(LONG* v) {
    QLX_HOST_OUT(v);
    *v = WindowRect().left;
    return S_OK;
}
STDMETHODIMP Browser::get_Top(LONG* v) {
    QLX_HOST_OUT(v);
    *v = WindowRect().top;
    return S_OK;
}
STDMETHODIMP Browser::get_Width(LONG* v) {
    QLX_HOST_OUT(v);
    const RECT r = WindowRect();
    *v = r.right - r.left;
    return S_OK;
}
STDMETHODIMP Browser::get_Height(LONG* v) {
    QLX_HOST_OUT(v);
    const RECT r = WindowRect();
    *v = r.bottom - r.top;
    return S_OK;
}
STDMETHODIMP Browser::get_LocationName(BSTR* name) {
    return PutBstr(title_, name);
}
STDMETHODIMP Browser::get_LocationURL(BSTR* url) {
    return PutBstr(url_, url);
}
STDMETHODIMP Browser::get_ToolBar(int* v) {
    QLX_HOST_OUT(v);
    *v = chrome_.toolBar;
    return S_OK;
}
STDMETHODIMP Browser::put_ToolBar(int v) {
    chrome_.toolBar = v;
    return S_OK;
}
STDMETHODIMP Browser::get_MenuBar(VARIANT_BOOL* v) {
    QLX_HOST_OUT(v);
    *v = ComBool(chrome_.menuBar);
    return S_OK;
}
STDMETHODIMP Browser::put_MenuBar(VARIANT_BOOL v) {
    chrome_.menuBar = v != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP Browser::get_StatusBar(VARIANT_BOOL* v) {
    QLX_HOST_OUT(v);
    *v = ComBool(chrome_.statusBar);
    return S_OK;
}
STDMETHODIMP Browser::put_StatusBar(VARIANT_BOOL v) {
    chrome_.statusBar = v != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP Browser::get_Resizable(VARIANT_BOOL* v) {
    QLX_HOST_OUT(v);
    *v = ComBool(chrome_.resizable);
    return S_OK;
}
STDMETHODIMP Browser::put_Resizable(VARIANT_BOOL v) {
    chrome_.resizable = v != VARIANT_FALSE;
    return S_OK;
}
STDMETHODIMP Browser::get_HWND(SHANDLE_PTR* window) {
    QLX_HOST_OUT(window);
    *window = reinterpret_cast<SHANDLE_PTR>(window_);
    return S_OK;
}
STDMETHODIMP Browser::get_Document(IDispatch** document) {
    QLX_HOST_OUT(document);
    *document = nullptr;
    if (!document_) {
        return S_FALSE;
    }
    return Hand(static_cast<IHTMLDocument2*>(document_.get()), reinterpret_cast<void**>(document));
}
STDMETHODIMP Browser::Stop() {
    stopped_ = true;
    return S_OK;
}
STDMETHODIMP Browser::Quit() {
    // The window closes once the event that asked for it has returned.
    quitRequested_ = true;
    ::PostMessageA(window_, WM_CLOSE, 0, 0);
    return S_OK;
}

STDMETHODIMP Browser::EnumConnectionPoints(IEnumConnectionPoints** points) {
    QLX_HOST_OUT(points);
    *points = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP Browser::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    QLX_HOST_OUT(point);
    *point = nullptr;
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        return CONNECT_E_NOCONNECTION;
    }
    return Hand(static_cast<IConnectionPoint*>(this), reinterpret_cast<void**>(point));
}
STDMETHODIMP Browser::GetConnectionInterface(IID* iid) {
    QLX_HOST_OUT(iid);
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}
STDMETHODIMP Browser::GetConnectionPointContainer(IConnectionPointContainer** container) {
    QLX_HOST_OUT(container);
    return Hand(static_cast<IConnectionPointContainer*>(this), reinterpret_cast<void**>(container));
}
STDMETHODIMP Browser::Advise(IUnknown* sink, DWORD* cookie) {
    QLX_HOST_OUT(sink);
    QLX_HOST_OUT(cookie);
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void())) || !dispatch) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, std::move(dispatch));
    return S_OK;
}
STDMETHODIMP Browser::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first == cookie) {
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}
STDMETHODIMP Browser::EnumConnections(IEnumConnections** connections) {
    QLX_HOST_OUT(connections);
    *connections = nullptr;
    return E_NOTIMPL;
}

#undef QLX_HOST_OUT

void Browser::Fire(DISPID id, std::vector<VARIANTARG>& reversedArgs) {
    DISPPARAMS params{reversedArgs.data(), nullptr, static_cast<UINT>(reversedArgs.size()), 0};
    // A sink may unadvise from inside its handler.
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& s : sinks_) {
        sinks.push_back(s.second);
    }
    for (const auto& sink : sinks) {
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
    }
}

namespace {

VARIANTARG ByRef(VARIANT* v) {
    VARIANTARG a;
    ::VariantInit(&a);
    a.vt = VT_VARIANT | VT_BYREF;
    a.pvarVal = v;
    return a;
}

VARIANTARG BoolByRef(VARIANT_BOOL* b) {
    VARIANTARG a;
    ::VariantInit(&a);
    a.vt = VT_BOOL | VT_BYREF;
    a.pboolVal = b;
    return a;
}

VARIANTARG Dispatch(IDispatch* d) {
    VARIANTARG a;
    ::VariantInit(&a);
    a.vt = VT_DISPATCH;
    a.pdispVal = d;
    return a;
}

struct OwnedVariant {
    VARIANT v;
    OwnedVariant() { ::VariantInit(&v); }
    explicit OwnedVariant(const std::string& text) : OwnedVariant() {
        v.vt = VT_BSTR;
        v.bstrVal = Bstr::FromAnsi(text).Detach();
    }
    ~OwnedVariant() { ::VariantClear(&v); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

} // namespace

void Browser::FireNewWindow2() {
    IDispatch* newWindow = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG ppDisp;
    ::VariantInit(&ppDisp);
    ppDisp.vt = VT_DISPATCH | VT_BYREF;
    ppDisp.ppdispVal = &newWindow;
    // NewWindow2(ppDisp, Cancel), in reverse.
    std::vector<VARIANTARG> args{BoolByRef(&cancel), ppDisp};
    Fire(DISPID_NEWWINDOW2, args);
    if (newWindow) {
        newWindow->Release();
    }
}

void Browser::FireBeforeNavigate2(const std::string& url, size_t argCount) {
    OwnedVariant address(url);
    OwnedVariant flags;
    flags.v.vt = VT_I4;
    OwnedVariant frame(std::string{});
    OwnedVariant postData;
    OwnedVariant headers(std::string{});
    VARIANT_BOOL cancel = VARIANT_FALSE;
    // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel), in reverse.
    std::vector<VARIANTARG> args{BoolByRef(&cancel),
                                 ByRef(&headers.v),
                                 ByRef(&postData.v),
                                 ByRef(&frame.v),
                                 ByRef(&flags.v),
                                 ByRef(&address.v),
                                 Dispatch(static_cast<IWebBrowser2*>(this))};
    args.erase(args.begin(), args.end() - static_cast<ptrdiff_t>(std::min(argCount, args.size())));
    Fire(DISPID_BEFORENAVIGATE2, args);
}

void Browser::FireDocumentComplete(const std::string& url) {
    OwnedVariant address(url);
    // DocumentComplete(pDisp, URL), in reverse.
    std::vector<VARIANTARG> args{ByRef(&address.v), Dispatch(static_cast<IWebBrowser2*>(this))};
    Fire(DISPID_DOCUMENTCOMPLETE, args);
}

void Browser::FireWindowClosing() {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG isChild;
    ::VariantInit(&isChild);
    isChild.vt = VT_BOOL;
    isChild.boolVal = VARIANT_FALSE;
    std::vector<VARIANTARG> args{BoolByRef(&cancel), isChild};
    Fire(DISPID_WINDOWCLOSING, args);
}

void Browser::SetLocation(const std::string& url, const std::string& title) {
    url_ = url;
    title_ = title;
    document_ = Make<HtmlDocument>();
}

void Browser::Disconnect() {
    sinks_.clear();
    document_.reset();
}

} // namespace qlx::browser_host
