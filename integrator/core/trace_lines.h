#pragma once
// The integrator's three debugger trace lines.
#include <cstdint>
#include <string>

namespace qlx::integrator {

// Raw key states of Ctrl, Alt and Shift (negative while down).
std::string KeyTrace(int16_t ctrl, int16_t alt, int16_t shift);
// A window's Ctrl, Shift and Alt override flags after a new-window request.
std::string FlagsTrace(bool ctrl, bool shift, bool alt);
// The same flags when a pop-up candidate is examined.
std::string FlagsBeforeTrace(bool ctrl, bool shift, bool alt);

} // namespace qlx::integrator
