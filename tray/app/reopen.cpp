#include "tray/app/reopen.h"

#include <windows.h>

#include <memory>

#include "common/win32/browser_window.h"
#include "common/win32/com_apartment.h"
#include "tray/core/settings.h"

namespace qlx::tray {

namespace {

struct ReopenJob {
    CHistoryEntry entry;
    bool normalize, fit, border, menu;
};

DWORD WINAPI ReopenThread(void* param) {
    std::unique_ptr<ReopenJob> job(static_cast<ReopenJob*>(param));
    const ComApartment apartment;
    if (!apartment.entered()) {
        return 0;
    }
    BrowserWindowShape shape;
    // Without normalisation: as the page asked for it, bare, at its own
    // place and size.
    shape.asRecorded = !job->normalize;
    shape.left = static_cast<LONG>(job->entry.left);
    shape.top = static_cast<LONG>(job->entry.top);
    shape.width = static_cast<LONG>(job->entry.width);
    shape.height = static_cast<LONG>(job->entry.height);
    shape.fitToScreen = job->fit;
    shape.resizable = job->border;
    shape.menuAndToolbar = job->menu;
    OpenBrowserWindow(Bstr::FromAnsi(job->entry.popupAddress), {}, shape);
    return 0;
}

} // namespace

void ReopenPopup(const CHistoryEntry& entry, const CSettings& settings) {
    auto job = std::make_unique<ReopenJob>(ReopenJob{
        entry, settings.Normalization, settings.FitPopup, settings.AddBorder, settings.AddMenu});
    if (HANDLE thread = ::CreateThread(nullptr, 0, ReopenThread, job.get(), 0, nullptr)) {
        job.release();
        ::CloseHandle(thread);
    }
}

} // namespace qlx::tray
