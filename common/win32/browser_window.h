#pragma once
// Opens an address in a new window of the browser through its automation
// object and shapes the window: the engine's open operations and the tray
// program's reopening of a blocked pop-up both come here.
#include <windows.h>

#include <optional>

#include "common/win32/bstr.h"

namespace qlx {

struct BrowserWindowShape {
    // As recorded: no bars, the pop-up's own place and size. Otherwise the
    // normalisation options below shape it.
    bool asRecorded = false;
    LONG left = 0;
    LONG top = 0;
    LONG width = 0;
    LONG height = 0;
    bool fitToScreen = false;
    bool resizable = false;
    bool menuAndToolbar = false;
};

// What Navigate2 is given besides the address: each number as VT_I4 when
// present (VT_EMPTY otherwise), post data and headers as empty strings or
// as VT_EMPTY.
struct NavigateArguments {
    std::optional<LONG> flags;
    std::optional<LONG> targetFrame;
    bool emptyTexts = false;
};

// On the calling thread, which must be in an apartment. A browser object
// that cannot be created or run has no effect.
void OpenBrowserWindow(const Bstr& address, const NavigateArguments& arguments,
                       const BrowserWindowShape& shape);

} // namespace qlx
