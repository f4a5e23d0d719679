#include "common/win32/registrar.h"

#include <oleauto.h>
#include <olectl.h>

#include "common/win32/com_ptr.h"
#include "common/win32/text_conv.h"
#include "common/win32/win32_registry.h"

namespace qlx {

namespace {

std::wstring WideModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
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

} // namespace

std::string ModulePath(HMODULE module) {
    return WideToAnsi(WideModulePath(module));
}

std::string ModuleFolder(HMODULE module) {
    std::string path = ModulePath(module);
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

// The script texts are UTF-8 (ASCII in practice) and so is %MODULE%: a path
// outside the ANSI code page reaches the registry whole.
std::optional<RegScript> LoadScript(HMODULE module, UINT resourceId, const Replacements& extra) {
    HRSRC res = ::FindResourceA(module, MAKEINTRESOURCEA(resourceId), "REGISTRY");
    HGLOBAL loaded = res ? ::LoadResource(module, res) : nullptr;
    const char* text = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!text) {
        return std::nullopt;
    }
    Replacements table = extra;
    table.emplace("MODULE", WideToAnsi(WideModulePath(module), CP_UTF8));
    return ParseRegScript(std::string_view(text, ::SizeofResource(module, res)), table, nullptr);
}

Win32Registry ScriptRegistry() {
    return Win32Registry(0, CP_UTF8);
}

HRESULT LoadModuleTypeLib(HMODULE module, std::wstring& path, ComPtr<ITypeLib>& typeLib) {
    path = WideModulePath(module);
    return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib.put());
}

} // namespace

HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, bool doRegister,
                                   const Replacements& extra) {
    const std::optional<RegScript> script = LoadScript(module, resourceId, extra);
    if (!script) {
        return E_FAIL;
    }
    Win32Registry registry = ScriptRegistry();
    if (!doRegister) {
        return UndoRegScript(*script, registry) ? S_OK : E_FAIL;
    }
    RegJournal journal;
    if (!ApplyRegScript(*script, registry, &journal)) {
        RollBack(journal, registry);
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT RegisterServer(HMODULE module, std::initializer_list<UINT> scripts,
                       const Replacements& extra) noexcept {
    Win32Registry registry = ScriptRegistry();
    RegJournal journal;
    try {
        bool ok = true;
        for (UINT id : scripts) {
            const std::optional<RegScript> script = LoadScript(module, id, extra);
            ok = ok && script && ApplyRegScript(*script, registry, &journal);
        }
        if (ok && SUCCEEDED(RegisterModuleTypeLib(module))) {
            return S_OK;
        }
    } catch (...) {
        // taken back below like any other failure
    }
    try {
        RollBack(journal, registry);
    } catch (...) {
        // what could not be taken back stays; the answer is the same
    }
    return SELFREG_E_CLASS;
}

HRESULT UnregisterServer(HMODULE module, std::initializer_list<UINT> scripts,
                         const Replacements& extra) noexcept {
    try {
        Win32Registry registry = ScriptRegistry();
        bool ok = true;
        for (UINT id : scripts) {
            const std::optional<RegScript> script = LoadScript(module, id, extra);
            ok = script && UndoRegScript(*script, registry) && ok;
        }
        return ok && SUCCEEDED(UnregisterModuleTypeLib(module)) ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

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
