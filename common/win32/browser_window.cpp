#include "common/win32/browser_window.h"

#include <exdisp.h>
#include <ole2.h>

#include "common/win32/com_ptr.h"
#include "common/win32/variant.h"

namespace qlx {

namespace {

// {0002DF01-0000-0000-C000-000000000046}, the browser application object.
constexpr CLSID kBrowserApplication = {
    0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

void SetNumber(Variant& v, const std::optional<LONG>& value) {
    if (value) {
        VARIANT* p = v.put();
        p->vt = VT_I4;
        p->lVal = *value;
    }
}

void SetText(Variant& v, const Bstr& text) {
    VARIANT* p = v.put();
    p->vt = VT_BSTR;
    p->bstrVal = Bstr(text).Detach();
}

} // namespace

void OpenBrowserWindow(const Bstr& address, const NavigateArguments& arguments,
                       const BrowserWindowShape& shape) {
    ComPtr<IUnknown> app;
    if (FAILED(::CoCreateInstance(kBrowserApplication, nullptr, CLSCTX_SERVER, IID_IUnknown,
                                  app.put_void())) ||
        FAILED(::OleRun(app.get()))) {
        return;
    }
    ComPtr<IWebBrowser2> browser;
    if (FAILED(app.As(IID_IWebBrowser2, browser))) {
        return;
    }
    Variant url, flags, target, postData, headers;
    SetText(url, address);
    SetNumber(flags, arguments.flags);
    SetNumber(target, arguments.targetFrame);
    if (arguments.emptyTexts) {
        SetText(postData, Bstr(L""));
        SetText(headers, Bstr(L""));
    }
    browser->Navigate2(url.get(), flags.get(), target.get(), postData.get(), headers.get());

    if (shape.asRecorded) {
        browser->put_AddressBar(VARIANT_FALSE);
        browser->put_MenuBar(VARIANT_FALSE);
        browser->put_StatusBar(VARIANT_FALSE);
        browser->put_ToolBar(FALSE);
        browser->put_Left(shape.left);
        browser->put_Top(shape.top);
        browser->put_Width(shape.width);
        browser->put_Height(shape.height);
    } else {
        if (shape.fitToScreen) {
            browser->put_Left(0);
            browser->put_Top(0);
            browser->put_Width(::GetSystemMetrics(SM_CXFULLSCREEN));
            browser->put_Height(::GetSystemMetrics(SM_CYFULLSCREEN));
        }
        browser->put_Resizable(ToVariantBool(shape.resizable));
        browser->put_MenuBar(ToVariantBool(shape.menuAndToolbar));
        browser->put_ToolBar(shape.menuAndToolbar ? TRUE : FALSE);
    }
    browser->put_Visible(VARIANT_TRUE);
}

} // namespace qlx
