#include "engine/com/browser_window.h"

#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

#include "common/win32/bstr.h"
#include "engine/com/thread_text.h"
#include "common/win32/com_ptr.h"
#include "common/win32/variant.h"

namespace qlx::engine {

namespace {

// {0002DF01-0000-0000-C000-000000000046}, the browser application object.
constexpr CLSID kBrowserApplication = {
    0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Navigate2 flags: no history entry, no reading from and no writing to the cache.
constexpr LONG kNavigateFlags = navNoHistory | navNoReadFromCache | navNoWriteToCache;
static_assert(kNavigateFlags == 14);
constexpr LONG kTargetFrame = 64;

class ComApartment {
public:
    ComApartment() noexcept : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

void SetString(Variant& v, std::string_view text) {
    VARIANT* p = v.put();
    p->vt = VT_BSTR;
    p->bstrVal = ThreadAnsiBstr(text).Detach();
}

void SetInt(Variant& v, LONG value) {
    VARIANT* p = v.put();
    p->vt = VT_I4;
    p->lVal = value;
}

} // namespace

void BrowserWindow::Open(const BrowserWindowPlan& plan) {
    ComApartment apartment;
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
    SetString(url, plan.address);
    SetInt(flags, kNavigateFlags);
    SetInt(target, kTargetFrame);
    SetString(postData, "");
    SetString(headers, "");
    browser->Navigate2(url.get(), flags.get(), target.get(), postData.get(), headers.get());

    if (plan.restore) {
        browser->put_AddressBar(VARIANT_FALSE);
        browser->put_MenuBar(VARIANT_FALSE);
        browser->put_StatusBar(VARIANT_FALSE);
        browser->put_ToolBar(FALSE);
        browser->put_Left(plan.left);
        browser->put_Top(plan.top);
        browser->put_Width(plan.width);
        browser->put_Height(plan.height);
    } else {
        if (plan.fitToScreen) {
            browser->put_Left(0);
            browser->put_Top(0);
            browser->put_Width(::GetSystemMetrics(SM_CXFULLSCREEN));
            browser->put_Height(::GetSystemMetrics(SM_CYFULLSCREEN));
        }
        browser->put_Resizable(ToVariantBool(plan.resizable));
        browser->put_MenuBar(ToVariantBool(plan.menuAndToolbar));
        browser->put_ToolBar(plan.menuAndToolbar ? TRUE : FALSE);
    }
    browser->put_Visible(VARIANT_TRUE);
}

} // namespace qlx::engine
