#include "skin/compact_text.h"

#include <shlwapi.h>

#include "common/win32/gdi.h"

namespace qlx::skin {

std::string CompactToWidth(HWND control, const std::string& text) {
    std::string shown = text;
    if (shown.size() >= MAX_PATH) { // the shell's compaction works on MAX_PATH buffers
        shown = shown.substr(0, 120) + "..." + shown.substr(shown.size() - 120);
    }
    RECT rect{};
    ::GetClientRect(control, &rect);
    WindowDc dc(control);
    if (!dc) {
        return shown;
    }
    SelectedObject font(dc.get(),
                        reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    char buffer[MAX_PATH] = {};
    shown.copy(buffer, MAX_PATH - 1);
    if (rect.right > 0) {
        ::PathCompactPathA(dc.get(), buffer, static_cast<UINT>(rect.right));
    }
    return buffer;
}

} // namespace qlx::skin
