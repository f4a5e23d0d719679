#include "system_surroundings.h"

#include <windows.h>

#include "common/win32/com_module.h"
#include "integrator/core/identity.h"
#include "integrator/core/parent_process.h"
#include "process_list.h"
#include "resource_ids.h"

namespace qlx::integrator {

std::string UnknownProcessName() {
    char text[64] = {};
    if (::LoadStringA(ComModule::Instance().Handle(), IDS_UNKNOWN_PROCESS, text, sizeof text) > 0) {
        return text;
    }
    return kUnknownProcessName;
}

int16_t SystemSurroundings::KeyState(Key key) {
    switch (key) {
    case Key::Ctrl:
        return ::GetKeyState(VK_CONTROL);
    case Key::Shift:
        return ::GetKeyState(VK_SHIFT);
    case Key::Alt:
        return ::GetKeyState(VK_MENU);
    }
    return 0;
}

void SystemSurroundings::Trace(const std::string& line) {
    ::OutputDebugStringA(line.c_str());
}

std::string SystemSurroundings::DiscoverParentProcess() {
    const auto processes = QueryProcessList();
    if (!processes) {
        return UnknownProcessName();
    }
    return FindParentProcessName(*processes, ::GetCurrentProcessId());
}

void SystemSurroundings::TerminateBrowser() {
    ::TerminateProcess(::GetCurrentProcess(), 0xFFFFFFFF);
}

} // namespace qlx::integrator
