// QLX.exe: the tray program and local server of the popup service.
#include <windows.h>

#include "tray/app/qlx_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    try {
        qlx::tray::CQlxApp app(instance);
        return app.Run(commandLine);
    } catch (...) {
        return 1;
    }
}
