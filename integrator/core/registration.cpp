#include "integrator/core/registration.h"

#include "common/core/reg_script.h"
#include "integrator/core/identity.h"

namespace qlx::integrator {

namespace {

std::optional<RegScript> ParseClassScript(const RegistrationSteps& steps) {
    return ParseRegScript(steps.script, Replacements{{"MODULE", steps.modulePath}});
}

} // namespace

RegistrationStatus RegisterIntegrator(Registry& registry, const RegistrationSteps& steps) {
    if (!registry.CreateKey(RegRoot::LocalMachine, kIntegratorBrowserHelperKey)) {
        return RegistrationStatus::BrowserHelperKeyFailed;
    }
    const auto script = ParseClassScript(steps);
    if (!script) {
        return RegistrationStatus::ScriptInvalid;
    }
    if (!ApplyRegScript(*script, registry)) {
        return RegistrationStatus::ScriptFailed;
    }
    if (steps.typeLibrary && !steps.typeLibrary()) {
        return RegistrationStatus::TypeLibraryFailed;
    }
    return RegistrationStatus::Ok;
}

RegistrationStatus UnregisterIntegrator(Registry& registry, const RegistrationSteps& steps) {
    if (!registry.DeleteTree(RegRoot::LocalMachine, kIntegratorBrowserHelperKey)) {
        return RegistrationStatus::BrowserHelperKeyFailed;
    }
    const auto script = ParseClassScript(steps);
    if (!script) {
        return RegistrationStatus::ScriptInvalid;
    }
    if (!UndoRegScript(*script, registry)) {
        return RegistrationStatus::ScriptFailed;
    }
    if (steps.typeLibrary && !steps.typeLibrary()) {
        return RegistrationStatus::TypeLibraryFailed;
    }
    return RegistrationStatus::Ok;
}

} // namespace qlx::integrator
