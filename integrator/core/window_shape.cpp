#include "integrator/core/window_shape.h"

namespace qlx::integrator {

std::optional<uint32_t> StyleWithFrame(uint32_t style) {
    if ((style & kFrameStyleBits) != 0) {
        return std::nullopt;
    }
    return style | kFrameStyleBits;
}

bool LacksBrowserChrome(std::optional<int32_t> toolbar,
                        const std::function<std::optional<bool>()>& readMenuBar) {
    const int32_t toolbarValue = toolbar.value_or(1);
    if (toolbarValue != 1) {
        return true;
    }
    const bool menuBar = readMenuBar().value_or(true);
    return !menuBar;
}

} // namespace qlx::integrator
