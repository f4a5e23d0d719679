// The four exports of QLXEng.dll.
#include <windows.h>
#include <olectl.h>

#include "common/win32/com_module.h"
#include "common/win32/registrar.h"
#include "engine/com/engine_resources.h"
#include "engine/com/wx_engine.h"

namespace {

qlx::ClassFactory g_factory(&qlx::engine::WXEngineObject::Create);

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qlx::ComModule::Instance().SetHandle(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_WXEngine)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
    return qlx::ComModule::Instance().CanUnloadNow();
}

STDAPI DllRegisterServer() {
    const HMODULE module = qlx::ComModule::Instance().Handle();
    HRESULT hr = qlx::UpdateRegistryFromResource(module, IDR_ENGINE_APPID, true);
    if (SUCCEEDED(hr)) {
        hr = qlx::UpdateRegistryFromResource(module, IDR_ENGINE_CLASS, true);
    }
    if (SUCCEEDED(hr) && FAILED(qlx::RegisterModuleTypeLib(module))) {
        hr = SELFREG_E_CLASS;
    }
    return hr;
}

STDAPI DllUnregisterServer() {
    const HMODULE module = qlx::ComModule::Instance().Handle();
    HRESULT hr = qlx::UpdateRegistryFromResource(module, IDR_ENGINE_APPID, false);
    if (SUCCEEDED(hr)) {
        hr = qlx::UpdateRegistryFromResource(module, IDR_ENGINE_CLASS, false);
    }
    if (SUCCEEDED(hr) && FAILED(qlx::UnregisterModuleTypeLib(module))) {
        hr = SELFREG_E_CLASS;
    }
    return hr;
}
