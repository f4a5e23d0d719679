#pragma once
#include <windows.h>

namespace qlx::integrator {

// The popup service of the tray program.
inline constexpr CLSID CLSID_PopupService = {
    0x2EEDC3D9, 0xD3C2, 0x44F0, {0x89, 0xC3, 0x28, 0x6D, 0x73, 0xBD, 0xD7, 0xD5}};

} // namespace qlx::integrator
