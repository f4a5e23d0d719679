#pragma once
// Registration of the integrator: the browser-helper key under the local
// machine first (its existence makes the browser load the class), then the
// class from its registration script, then the type library. The first
// failure ends it, so without write access to the local machine nothing is
// written under the classes root.
#include <functional>
#include <string>
#include <string_view>

#include "common/core/registry_model.h"

namespace qlx::integrator {

enum class RegistrationStatus {
    Ok,
    BrowserHelperKeyFailed, // reported as E_FAIL
    ScriptInvalid,
    ScriptFailed,
    TypeLibraryFailed,
};

struct RegistrationSteps {
    std::string_view script;           // the class registration script
    std::string modulePath;            // replaces %MODULE%
    std::function<bool()> typeLibrary; // registers or unregisters it
};

RegistrationStatus RegisterIntegrator(Registry& registry, const RegistrationSteps& steps);
RegistrationStatus UnregisterIntegrator(Registry& registry, const RegistrationSteps& steps);

} // namespace qlx::integrator
