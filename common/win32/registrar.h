#pragma once
// Self-registration of our COM servers: registry scripts carried as
// resources of type "REGISTRY", and the type library carried as TYPELIB
// resource 1 of the module.
#include <windows.h>

#include <string>

#include "common/core/reg_script.h"

namespace qlx {

// Full path of a module, and its folder with a trailing backslash.
std::string ModulePath(HMODULE module);
std::string ModuleFolder(HMODULE module);

// Applies (doRegister) or undoes the script of REGISTRY resource
// `resourceId`. %MODULE% is the module's full path; `extra` adds names.
// E_FAIL for a missing or malformed script, or a write that failed.
HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, bool doRegister,
                                   const Replacements& extra = {});

// Registers the module's own type library (resource 1) so that dual
// interfaces marshal with the automation marshaler; and removes it again.
HRESULT RegisterModuleTypeLib(HMODULE module);
HRESULT UnregisterModuleTypeLib(HMODULE module);

} // namespace qlx
