#pragma once
// How a window's browser chrome and frame are judged and restored.
#include <cstdint>
#include <functional>
#include <optional>

namespace qlx::integrator {

// Caption, system menu, sizing frame, minimise and maximise boxes.
inline constexpr uint32_t kFrameStyleBits = 0x00CF0000;

// The style a window gets when borders are added: all frame bits when it has
// none of them; a window with any frame bit keeps its style (nullopt).
std::optional<uint32_t> StyleWithFrame(uint32_t style);

// Whether a window lacks browser chrome. A failed toolbar read counts as 1;
// the menu bar is read only when the toolbar is 1, and a failed read of it
// counts as present.
bool LacksBrowserChrome(std::optional<int32_t> toolbar,
                        const std::function<std::optional<bool>()>& readMenuBar);

} // namespace qlx::integrator
