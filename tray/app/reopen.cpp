#include "tray/app/reopen.h"

#include <windows.h>

#include <exdisp.h>
#include <ole2.h>

#include <memory>

#include "common/win32/bstr.h"
#include "common/win32/com_ptr.h"
#include "common/win32/variant.h"
#include "tray/core/settings.h"

namespace qlx::tray {

namespace {

constexpr CLSID kBrowserApplication = {
    0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct ReopenJob {
    CHistoryEntry entry;
    bool normalize, fit, border, menu;
};

void Reopen(const ReopenJob& job) {
    ComPtr<IWebBrowser2> browser;
    if (FAILED(::CoCreateInstance(kBrowserApplication, nullptr, CLSCTX_SERVER, IID_IWebBrowser2,
                                  browser.put_void()))) {
        return;
    }
    Variant address, none;
    VARIANT* url = address.put();
    url->vt = VT_BSTR;
    url->bstrVal = Bstr::FromAnsi(job.entry.popupAddress).Detach();
    browser->Navigate2(address.get(), none.get(), none.get(), none.get(), none.get());
    if (!job.normalize) {
        // As the page asked for it: bare, at its own place and size.
        browser->put_AddressBar(VARIANT_FALSE);
        browser->put_MenuBar(VARIANT_FALSE);
        browser->put_StatusBar(VARIANT_FALSE);
        browser->put_ToolBar(FALSE);
        browser->put_Left(static_cast<LONG>(job.entry.left));
        browser->put_Top(static_cast<LONG>(job.entry.top));
        browser->put_Width(static_cast<LONG>(job.entry.width));
        browser->put_Height(static_cast<LONG>(job.entry.height));
    } else {
        if (job.fit) {
            browser->put_Left(0);
            browser->put_Top(0);
            browser->put_Width(::GetSystemMetrics(SM_CXFULLSCREEN));
            browser->put_Height(::GetSystemMetrics(SM_CYFULLSCREEN));
        }
        browser->put_Resizable(ToVariantBool(job.border));
        browser->put_MenuBar(ToVariantBool(job.menu));
        browser->put_ToolBar(job.menu ? TRUE : FALSE);
    }
    browser->put_Visible(VARIANT_TRUE);
}

DWORD WINAPI ReopenThread(void* param) {
    std::unique_ptr<ReopenJob> job(static_cast<ReopenJob*>(param));
    if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        Reopen(*job);
        ::CoUninitialize();
    }
    return 0;
}

} // namespace

void ReopenPopup(const CHistoryEntry& entry, const CSettings& settings) {
    auto job = std::make_unique<ReopenJob>(ReopenJob{
        entry, settings.Normalization, settings.FitPopup, settings.AddBorder, settings.AddMenu});
    if (HANDLE thread = ::CreateThread(nullptr, 0, ReopenThread, job.get(), 0, nullptr)) {
        job.release();
        ::CloseHandle(thread);
    }
}

} // namespace qlx::tray
