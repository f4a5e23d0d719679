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
    return g_factory.ForClass(CLSID_WXEngine, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return qlx::ComModule::Instance().CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return qlx::RegisterServer(qlx::ComModule::Instance().Handle(),
                               {IDR_ENGINE_APPID, IDR_ENGINE_CLASS});
}

STDAPI DllUnregisterServer() {
    return qlx::UnregisterServer(qlx::ComModule::Instance().Handle(),
                                 {IDR_ENGINE_APPID, IDR_ENGINE_CLASS});
}
