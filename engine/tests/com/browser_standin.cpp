// A recording stand-in for the browser's automation object, for the tests of
// the engine's open operations (Wine has no usable browser). It registers
// itself as the local server of {0002DF01-0000-0000-C000-000000000046}
// ("/RegServer", "/UnregServer"), serves one object when COM starts it, writes
// every Navigate2 and every window property set to "browser_standin.log"
// beside itself, and ends when that object is released.
#include <windows.h>
#include <exdisp.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "common/testing/interface_stubs.h"
#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_module.h"
#include "common/win32/com_object.h"
#include "common/win32/unique_handle.h"

namespace qlx::engine::testing {
namespace {

constexpr CLSID kBrowserApplication = {
    0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr const char* kClassKey = "CLSID\\{0002DF01-0000-0000-C000-000000000046}";

std::string ExePath() {
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string LogPath() {
    std::string path = ExePath();
    return path.substr(0, path.find_last_of('\\') + 1) + "browser_standin.log";
}

void Record(const std::string& line) {
    std::FILE* f = std::fopen(LogPath().c_str(), "ab");
    if (f != nullptr) {
        std::fprintf(f, "%s\r\n", line.c_str());
        std::fclose(f);
    }
}

std::string Describe(const VARIANT* v) {
    if (v == nullptr) {
        return "null";
    }
    switch (v->vt) {
    case VT_BSTR:
        return "BSTR:" + BstrToAnsi(v->bstrVal);
    case VT_I4:
        return "I4:" + std::to_string(v->lVal);
    case VT_I2:
        return "I2:" + std::to_string(v->iVal);
    case VT_EMPTY:
        return "EMPTY";
    default:
        return "vt" + std::to_string(v->vt);
    }
}

// The browser application's automation object, one per start (single use):
// it records what the engine asks of it, and the program ends when the
// engine lets go of it.
class RecordingBrowser final
    : public ComObject<RecordingBrowser, WithoutTypeInfo<com_stubs::IWebBrowser2Stub>> {
public:
    using Interfaces =
        InterfaceTable<Answers<IWebBrowser2, IID_IWebBrowser2>,
                       Answers<IWebBrowser2, IID_IDispatch>, Answers<IWebBrowser2, IID_IWebBrowser>,
                       Answers<IWebBrowser2, IID_IWebBrowserApp>>;
    ~RecordingBrowser() override {
        Record("Released");
        ::PostQuitMessage(0);
    }

    STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* target, VARIANT* postData,
                           VARIANT* headers) override {
        Record("Navigate2 " + Describe(url) + " " + Describe(flags) + " " + Describe(target) + " " +
               Describe(postData) + " " + Describe(headers));
        return S_OK;
    }
    STDMETHODIMP put_Left(LONG v) override { return Put("Left", v); }
    STDMETHODIMP put_Top(LONG v) override { return Put("Top", v); }
    STDMETHODIMP put_Width(LONG v) override { return Put("Width", v); }
    STDMETHODIMP put_Height(LONG v) override { return Put("Height", v); }
    STDMETHODIMP put_Visible(VARIANT_BOOL v) override { return Put("Visible", v); }
    STDMETHODIMP put_MenuBar(VARIANT_BOOL v) override { return Put("MenuBar", v); }
    STDMETHODIMP put_ToolBar(int v) override { return Put("ToolBar", v); }
    STDMETHODIMP put_StatusBar(VARIANT_BOOL v) override { return Put("StatusBar", v); }
    STDMETHODIMP put_AddressBar(VARIANT_BOOL v) override { return Put("AddressBar", v); }
    STDMETHODIMP put_Resizable(VARIANT_BOOL v) override { return Put("Resizable", v); }

private:
    HRESULT Put(const char* name, long value) {
        Record(std::string(name) + " " + std::to_string(value));
        return S_OK;
    }
};

HRESULT CreateBrowser(IUnknown* outer, REFIID iid, void** out) {
    Record("Created");
    return CreateInstance<RecordingBrowser>(outer, iid, out);
}

bool Register() {
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    UniqueHKey key;
    const std::string server = "\"" + ExePath() + "\"";
    const std::string local = std::string(kClassKey) + "\\LocalServer32";
    return ::RegCreateKeyExA(HKEY_CLASSES_ROOT, local.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                             key.put(), nullptr) == ERROR_SUCCESS &&
           ::RegSetValueExA(key.get(), nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(server.c_str()),
                            static_cast<DWORD>(server.size() + 1)) == ERROR_SUCCESS;
}

int Serve() {
    const ComApartment apartment;
    if (!apartment.entered()) {
        return 3;
    }
    static ClassFactory factory(&CreateBrowser);
    DWORD cookie = 0;
    if (FAILED(::CoRegisterClassObject(kBrowserApplication, &factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_SINGLEUSE, &cookie))) {
        return 4;
    }
    // Ends when the object is released, or after a minute without a client.
    ::SetTimer(nullptr, 0, 60000, nullptr);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) {
            break;
        }
        ::DispatchMessageA(&msg);
    }
    ::CoRevokeClassObject(cookie);
    return 0;
}

} // namespace
} // namespace qlx::engine::testing

int main(int argc, char** argv) {
    using namespace qlx::engine::testing;
    const std::string arg = argc > 1 ? argv[1] : "";
    if (_stricmp(arg.c_str(), "/RegServer") == 0) {
        return Register() ? 0 : 1;
    }
    if (_stricmp(arg.c_str(), "/UnregServer") == 0) {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
        return 0;
    }
    return Serve();
}
