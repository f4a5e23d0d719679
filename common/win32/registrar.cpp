#include "common/win32/registrar.h"

#include <oleauto.h>

#include "common/win32/com_ptr.h"
#include "common/win32/text_conv.h"
#include "common/win32/win32_registry.h"

namespace qlx {

std::string ModulePath(HMODULE module) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ModuleFolder(HMODULE module) {
    std::string path = ModulePath(module);
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, bool doRegister,
                                   const Replacements& extra) {
    HRSRC res = ::FindResourceA(module, MAKEINTRESOURCEA(resourceId), "REGISTRY");
    HGLOBAL loaded = res ? ::LoadResource(module, res) : nullptr;
    const char* text = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!text) {
        return E_FAIL;
    }
    Replacements table = extra;
    table.emplace("MODULE", ModulePath(module));
    auto script =
        ParseRegScript(std::string_view(text, ::SizeofResource(module, res)), table, nullptr);
    if (!script) {
        return E_FAIL;
    }
    Win32Registry registry;
    const bool ok =
        doRegister ? ApplyRegScript(*script, registry) : UndoRegScript(*script, registry);
    return ok ? S_OK : E_FAIL;
}

namespace {

HRESULT LoadModuleTypeLib(HMODULE module, std::wstring& path, ComPtr<ITypeLib>& typeLib) {
    path = AnsiToWide(ModulePath(module));
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib.put());
}

} // namespace

HRESULT RegisterModuleTypeLib(HMODULE module) {
    std::wstring path;
    ComPtr<ITypeLib> typeLib;
    HRESULT hr = LoadModuleTypeLib(module, path, typeLib);
    if (FAILED(hr)) {
        return hr;
    }
    return ::RegisterTypeLib(typeLib.get(), path.data(), nullptr);
}

HRESULT UnregisterModuleTypeLib(HMODULE module) {
    std::wstring path;
    ComPtr<ITypeLib> typeLib;
    HRESULT hr = LoadModuleTypeLib(module, path, typeLib);
    if (FAILED(hr)) {
        return hr;
    }
    TLIBATTR* attr = nullptr;
    hr = typeLib->GetLibAttr(&attr);
    if (FAILED(hr)) {
        return hr;
    }
    const TLIBATTR a = *attr;
    typeLib->ReleaseTLibAttr(attr);
    hr = ::UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    // Already gone is fine.
    return hr == TYPE_E_REGISTRYACCESS ? S_OK : hr;
}

} // namespace qlx
