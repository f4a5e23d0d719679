#pragma once
// What the engine asks of the world around it: the client's answers about
// list conflicts, and a browser window for the open operations.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/list_kind.h"

namespace qlx::engine {

// The client's event interface.
class EngineEvents {
public:
    virtual ~EngineEvents() = default;
    // The name about to be added to the list of `kind` stands in the opposite
    // list; true goes on, false cancels.
    virtual bool AddTheSameInOppositeList(ListKind kind, std::string_view name) = 0;
    // The name is already in that list (notice only).
    virtual void AddTheSameInList(ListKind kind, std::string_view name) = 0;
};

// How to show an address in a new browser window.
struct BrowserWindowPlan {
    std::string address;
    // Restore: the window gets a recorded pop-up's geometry and no bars.
    // Otherwise it is shaped by the normalisation options below.
    bool restore = false;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool fitToScreen = false;
    bool resizable = false;
    bool menuAndToolbar = false;
};

class BrowserLauncher {
public:
    virtual ~BrowserLauncher() = default;
    // Gives up silently when no browser can be created.
    virtual void Open(const BrowserWindowPlan& plan) = 0;
};

} // namespace qlx::engine
