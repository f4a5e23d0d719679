#pragma once
#include <cstdint>

namespace qlx::integrator {

// A browser window's position and size in screen pixels.
struct WindowGeometry {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const WindowGeometry&) const = default;
};

} // namespace qlx::integrator
