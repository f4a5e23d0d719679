#pragma once
// The keyboard, the debugger output, the process list and process exit as
// the window's thread sees them.
#include "integrator/core/decision_client.h"

namespace qlx::integrator {

class SystemSurroundings final : public Surroundings {
public:
    int16_t KeyState(Key key) override;
    void Trace(const std::string& line) override;
    std::string DiscoverParentProcess() override;
    void TerminateBrowser() override;
};

// String 101 of the module: the name of a process that cannot be found.
std::string UnknownProcessName();

} // namespace qlx::integrator
