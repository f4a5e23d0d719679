#pragma once
// Self-registration of our COM servers: registry scripts carried as
// resources of type "REGISTRY", and the type library carried as TYPELIB
// resource 1 of the module.
#include <windows.h>

#include <initializer_list>
#include <string>

#include "common/core/reg_script.h"

namespace qlx {

// Full path of a module, and its folder with a trailing backslash.
std::string ModulePath(HMODULE module);
std::string ModuleFolder(HMODULE module);

// Applies (doRegister) or undoes the script of REGISTRY resource
// `resourceId`. %MODULE% is the module's full path; `extra` adds names.
// Texts reach the registry through its wide functions, so paths outside the
// ANSI code page register whole. E_FAIL for a missing or malformed script
// (nothing written) or an undo that failed; a write that failed is taken
// back and answers SELFREG_E_CLASS.
HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, bool doRegister,
                                   const Replacements& extra = {});

// DllRegisterServer's work: the scripts in order, then the type library. Any
// failure takes back everything written and answers SELFREG_E_CLASS; no
// exception leaves.
HRESULT RegisterServer(HMODULE module, std::initializer_list<UINT> scripts,
                       const Replacements& extra = {}) noexcept;
// DllUnregisterServer's: every script undone, then the type library removed;
// SELFREG_E_CLASS when any step failed.
HRESULT UnregisterServer(HMODULE module, std::initializer_list<UINT> scripts,
                         const Replacements& extra = {}) noexcept;

// Registers the module's own type library (resource 1) so that dual
// interfaces marshal with the automation marshaler; and removes it again.
HRESULT RegisterModuleTypeLib(HMODULE module);
HRESULT UnregisterModuleTypeLib(HMODULE module);

} // namespace qlx
