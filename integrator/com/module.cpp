// The module of qlxi.dll: its exports, class factory and registration.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include "common/win32/com_module.h"
#include "common/win32/registrar.h"
#include "common/win32/win32_registry.h"
#include "ie_integrator.h"
#include "integrator/core/registration.h"
#include "resource_ids.h"

using namespace qlx;
using namespace qlx::integrator;

namespace {

ClassFactory& IntegratorFactory() {
    static ClassFactory factory(&qlx::integrator::CIEIntegrator::Create);
    return factory;
}

std::string_view ResourceText(UINT id, const char* type) {
    HMODULE module = ComModule::Instance().Handle();
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) {
        return {};
    }
    return {static_cast<const char*>(data), ::SizeofResource(module, found)};
}

RegistrationSteps Steps(bool doRegister) {
    HMODULE module = ComModule::Instance().Handle();
    RegistrationSteps steps;
    steps.script = ResourceText(IDR_IEINTEGRATOR, "REGISTRY");
    steps.modulePath = ModulePath(module);
    steps.typeLibrary = [module, doRegister] {
        return SUCCEEDED(doRegister ? RegisterModuleTypeLib(module)
                                    : UnregisterModuleTypeLib(module));
    };
    return steps;
}

HRESULT ToResult(RegistrationStatus status) {
    switch (status) {
    case RegistrationStatus::Ok:
        return S_OK;
    case RegistrationStatus::TypeLibraryFailed:
        return SELFREG_E_TYPELIB;
    default:
        return E_FAIL;
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ComModule::Instance().SetHandle(instance);
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return IntegratorFactory().ForClass(CLSID_CIEIntegrator, clsid, iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return ComModule::Instance().CanUnloadNow();
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    return ComGuard([] {
        Win32Registry registry;
        return ToResult(RegisterIntegrator(registry, Steps(true)));
    });
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    return ComGuard([] {
        Win32Registry registry;
        return ToResult(UnregisterIntegrator(registry, Steps(false)));
    });
}
