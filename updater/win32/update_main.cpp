// update.exe: the user-interface thread with the hidden main frame, and the
// engine thread that runs one update session. The process exit code is the
// engine's return code.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "common/win32/com_apartment.h"
#include "common/win32/unique_handle.h"
#include "updater/core/texts.h"
#include "updater/core/update_engine.h"
#include "updater/win32/file_log.h"
#include "updater/win32/main_frame.h"
#include "updater/win32/win32_platform.h"

namespace {

using namespace qlx::updater;

HINSTANCE g_instance = nullptr;

std::string LoadText(int id) {
    char buffer[1024];
    const int n = ::LoadStringA(g_instance, static_cast<UINT>(id), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : BuiltInText(id);
}

DWORD WINAPI EngineThread(void* parameter) {
    auto* engine = static_cast<UpdateEngine*>(parameter);
    try {
        return static_cast<DWORD>(engine->RunSession());
    } catch (...) {
        return static_cast<DWORD>(engine->ReturnCode());
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_instance = instance;
    const qlx::ComApartment apartment;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    FrameState state;
    const std::string title = LoadText(kTextMainFrameTitle);
    HWND frame = CreateMainFrame(instance, title.c_str(), &state);
    Win32Platform platform(state.instanceMessage, state.trayMessage);
    FileLog log(platform.ProgramDirectory() + "update.log");
    FrameNotifications windows(frame, &state);
    int32_t returnCode = 0;
    {
        UpdateEngine engine(platform, windows, log, LoadText);
        qlx::UniqueHandle thread(::CreateThread(nullptr, 0, EngineThread, &engine, 0, nullptr));
        if (!thread) {
            returnCode = engine.RunSession();
        } else {
            MSG message;
            while (frame && ::GetMessageA(&message, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&message);
                ::DispatchMessageA(&message);
            }
            // The engine's later notifications must not wait for a loop that
            // no longer runs.
            if (frame && ::IsWindow(frame)) {
                ::DestroyWindow(frame);
            }
            ::WaitForSingleObject(thread.get(), INFINITE);
            returnCode = engine.ReturnCode();
        }
    }
    log.Close();
    return returnCode;
}
