#pragma once
// The tray program's command line, in the forms COM local servers accept:
// "/" or "-" followed by the switch name, in any letter case.
#include <string_view>

namespace qlx::tray {

enum class StartMode {
    Normal,     // no switch that matters: the tray application
    ComServer,  // "Embedding" or "Automation": started by COM
    Register,   // "RegServer" or "Register"
    Unregister, // "UnregServer" or "Unregister"
};

StartMode ParseCommandLine(std::string_view commandLine);

} // namespace qlx::tray
