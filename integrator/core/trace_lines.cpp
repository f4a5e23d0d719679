#include "integrator/core/trace_lines.h"

#include <cstdio>

namespace qlx::integrator {

namespace {

std::string FormatThree(const char* format, int a, int b, int c) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

} // namespace

std::string KeyTrace(int16_t ctrl, int16_t alt, int16_t shift) {
    return FormatThree("Key %d, %d, %d", ctrl, alt, shift);
}

std::string FlagsTrace(bool ctrl, bool shift, bool alt) {
    return FormatThree("Flags %d, %d, %d", ctrl, shift, alt);
}

std::string FlagsBeforeTrace(bool ctrl, bool shift, bool alt) {
    return FormatThree("Flags before %d, %d, %d", ctrl, shift, alt);
}

} // namespace qlx::integrator
