#pragma once
// The start-with-Windows entry in the "Run" lists and the browser's own
// pop-up manager switch.
#include <string>

#include "common/core/registry_model.h"

namespace qlx::tray {

inline constexpr const char* kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kBrowserNewWindowsPath =
    "Software\\Microsoft\\Internet Explorer\\New Windows\\";

// With `startWithWindows`: keeps an existing machine-wide entry, else writes
// one ("\"<exePath>\"") under the local machine, falling back to the current
// user. Without it: removes the entry from the current user, then from the
// local machine. Failures are silent.
void ApplyRunKey(Registry& registry, bool startWithWindows, const std::string& valueName,
                 const std::string& exePath);

// Sets "FirstTime", "BlockUserInit" and "PopupMgr" to "no" when the browser's
// key exists; writes nothing otherwise.
void DisableBrowserPopupManager(Registry& registry);

} // namespace qlx::tray
