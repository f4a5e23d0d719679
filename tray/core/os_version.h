#pragma once
// The operating-system version as start-up and the notification consult it.
#include <cstdint>
#include <string>

namespace qlx::tray {

enum class OsPlatform : uint32_t { Win32s = 0, Windows9x = 1, WindowsNt = 2 };

struct OsVersion {
    uint32_t major = 4;
    uint32_t minor = 0;
    uint32_t build = 0;
    OsPlatform platform = OsPlatform::Windows9x; // also when the version cannot be read
    std::string servicePack;                     // e.g. "Service Pack 2"
};

// Windows XP (5.1) with Service Pack 2 to 9: the browser brings its own
// pop-up manager, which start-up switches off.
bool IsBrowserPopupManagerPresent(const OsVersion& os);

} // namespace qlx::tray
