#include "engine/com/browser_window.h"

#include <windows.h>
#include <exdisp.h>

#include "common/win32/browser_window.h"
#include "common/win32/com_apartment.h"
#include "engine/com/thread_text.h"

namespace qlx::engine {

namespace {

// Navigate2 flags: no history entry, no reading from and no writing to the cache.
constexpr LONG kNavigateFlags = navNoHistory | navNoReadFromCache | navNoWriteToCache;
static_assert(kNavigateFlags == 14);
constexpr LONG kTargetFrame = 64;

} // namespace

void BrowserWindow::Open(const BrowserWindowPlan& plan) {
    ComApartment apartment;
    BrowserWindowShape shape;
    shape.asRecorded = plan.restore;
    shape.left = plan.left;
    shape.top = plan.top;
    shape.width = plan.width;
    shape.height = plan.height;
    shape.fitToScreen = plan.fitToScreen;
    shape.resizable = plan.resizable;
    shape.menuAndToolbar = plan.menuAndToolbar;
    OpenBrowserWindow(ThreadAnsiBstr(plan.address), {kNavigateFlags, kTargetFrame, true}, shape);
}

} // namespace qlx::engine
