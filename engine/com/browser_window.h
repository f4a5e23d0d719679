#pragma once
// Opens an address in a new window of the browser through its automation
// object and shapes the window as the plan says.
#include "engine/core/engine_peers.h"

namespace qlx::engine {

class BrowserWindow final : public BrowserLauncher {
public:
    void Open(const BrowserWindowPlan& plan) override;
};

} // namespace qlx::engine
