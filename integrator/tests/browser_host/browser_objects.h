#pragma once
// The browser host's stand-ins for the browser's own objects: the browser
// window's automation object with its DWebBrowserEvents2 connection point,
// and a loaded document whose elements take event handlers.
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>

#include <atomic>
#include <string>
#include <vector>

#include "common/win32/com_object.h"
#include "common/win32/com_ptr.h"
#include "common/testing/interface_stubs.h"

namespace qlx::browser_host {

using namespace com_stubs;

// An element of the page: anything in `all`, and a link when `isLink`.
class HtmlElement final : public ComObject<HtmlElement, WithoutTypeInfo<IHTMLElementStub>,
                                           WithoutTypeInfo<IHTMLElement2Stub>> {
public:
    using Interfaces = InterfaceTable<Answers<IHTMLElement, IID_IHTMLElement>,
                                      Answers<IHTMLElement, IID_IDispatch>,
                                      Answers<IHTMLElement2, IID_IHTMLElement2>>;
    explicit HtmlElement(bool isLink) : isLink_(isLink) {}
    bool IsLink() const { return isLink_; }

    STDMETHODIMP attachEvent(BSTR event, IDispatch* handler, VARIANT_BOOL* result) override;
    STDMETHODIMP put_oncontextmenu(VARIANT handler) override;

    // The user clicks the element: its onclick handlers run with DISPID 0.
    void Click();
    void ContextMenu();
    size_t ClickHandlerCount() const { return onclick_.size(); }
    bool HasContextMenuHandler() const { return static_cast<bool>(oncontextmenu_); }

private:
    bool isLink_;
    std::vector<ComPtr<IDispatch>> onclick_;
    ComPtr<IDispatch> oncontextmenu_;
};

class HtmlElementCollection final
    : public ComObject<HtmlElementCollection, WithoutTypeInfo<IHTMLElementCollectionStub>> {
public:
    using Interfaces = InterfaceTable<Answers<IHTMLElementCollection, IID_IHTMLElementCollection>,
                                      Answers<IHTMLElementCollection, IID_IDispatch>>;
    explicit HtmlElementCollection(std::vector<ComPtr<HtmlElement>> items)
        : items_(std::move(items)) {}

    STDMETHODIMP get_length(LONG* length) override;
    STDMETHODIMP item(VARIANT name, VARIANT index, IDispatch** element) override;

private:
    std::vector<ComPtr<HtmlElement>> items_;
};

class HtmlDocument final : public ComObject<HtmlDocument, WithoutTypeInfo<IHTMLDocument2Stub>> {
public:
    using Interfaces = InterfaceTable<Answers<IHTMLDocument2, IID_IHTMLDocument2>,
                                      Answers<IHTMLDocument2, IID_IDispatch>,
                                      Answers<IHTMLDocument2, IID_IHTMLDocument>>;
    HtmlDocument();

    STDMETHODIMP get_all(IHTMLElementCollection** all) override;
    STDMETHODIMP get_links(IHTMLElementCollection** links) override;

    HtmlElement& FirstLink();
    const std::vector<ComPtr<HtmlElement>>& Elements() const { return elements_; }

private:
    std::vector<ComPtr<HtmlElement>> elements_;
};

// The state of a browser window as the integrator may have left it.
struct BrowserChrome {
    int toolBar = 1;
    bool menuBar = true;
    bool statusBar = true;
    bool resizable = true;
};

class Browser final : public ComObject<Browser, WithoutTypeInfo<IWebBrowser2Stub>,
                                       IConnectionPointContainer, IConnectionPoint> {
public:
    using Interfaces =
        InterfaceTable<Answers<IWebBrowser2, IID_IWebBrowser2>,
                       Answers<IWebBrowser2, IID_IDispatch>, Answers<IWebBrowser2, IID_IWebBrowser>,
                       Answers<IWebBrowser2, IID_IWebBrowserApp>,
                       Answers<IConnectionPointContainer, IID_IConnectionPointContainer>,
                       Answers<IConnectionPoint, IID_IConnectionPoint>>;
    Browser(HWND window, const BrowserChrome& chrome);

    // IWebBrowser2: the members the integrator uses.
    STDMETHODIMP get_Left(LONG* value) override;
    STDMETHODIMP get_Top(LONG* value) override;
    STDMETHODIMP get_Width(LONG* value) override;
    STDMETHODIMP get_Height(LONG* value) override;
    STDMETHODIMP get_LocationName(BSTR* name) override;
    STDMETHODIMP get_LocationURL(BSTR* url) override;
    STDMETHODIMP get_ToolBar(int* value) override;
    STDMETHODIMP put_ToolBar(int value) override;
    STDMETHODIMP get_MenuBar(VARIANT_BOOL* value) override;
    STDMETHODIMP put_MenuBar(VARIANT_BOOL value) override;
    STDMETHODIMP get_StatusBar(VARIANT_BOOL* value) override;
    STDMETHODIMP put_StatusBar(VARIANT_BOOL value) override;
    STDMETHODIMP get_Resizable(VARIANT_BOOL* value) override;
    STDMETHODIMP put_Resizable(VARIANT_BOOL value) override;
    STDMETHODIMP get_HWND(SHANDLE_PTR* window) override;
    STDMETHODIMP get_Document(IDispatch** document) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Quit() override;

    // IConnectionPointContainer, with the one point of DWebBrowserEvents2.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // Events, fired through each sink's IDispatch::Invoke.
    void FireNewWindow2();
    // A browser that misbehaves may pass fewer than the seven arguments.
    void FireBeforeNavigate2(const std::string& url, size_t argCount = 7);
    void FireDocumentComplete(const std::string& url);
    void FireWindowClosing();

    // The page has loaded: new location and document.
    void SetLocation(const std::string& url, const std::string& title);
    HtmlDocument* Document() { return document_.get(); }

    bool QuitRequested() const { return quitRequested_; }
    bool Stopped() const { return stopped_; }
    const BrowserChrome& Chrome() const { return chrome_; }
    size_t SinkCount() const { return sinks_.size(); }
    // Drops the sinks and the document when the window goes.
    void Disconnect();

private:
    void Fire(DISPID id, std::vector<VARIANTARG>& reversedArgs);
    RECT WindowRect() const;

    HWND window_;
    BrowserChrome chrome_;
    std::string url_;
    std::string title_;
    ComPtr<HtmlDocument> document_;
    std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
    DWORD nextCookie_ = 1;
    bool quitRequested_ = false;
    bool stopped_ = false;
};

} // namespace qlx::browser_host
