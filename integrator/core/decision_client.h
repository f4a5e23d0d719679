#pragma once
// The integrator's handling of the two browser events that matter: a page
// asking for a new window, and a window starting to navigate. The browser,
// the keyboard and the process list are reached through small seams so the
// rules run unchanged in the unit tests and in the browser.
#include <cstdint>
#include <optional>
#include <string>

#include "integrator/core/hand_over_state.h"
#include "integrator/core/popup_service.h"
#include "integrator/core/window_geometry.h"

namespace qlx::integrator {

// The browser window of one integrator object.
class BrowserWindow {
public:
    virtual ~BrowserWindow() = default;
    virtual std::string LocationName() = 0; // empty when there is none
    virtual std::string LocationURL() = 0;
    virtual std::optional<int32_t> ToolBar() = 0; // nullopt: the read failed
    virtual std::optional<bool> MenuBar() = 0;
    virtual void StopAndQuit() = 0;
    virtual void ShowMaximised() = 0;
    virtual std::optional<uint32_t> Style() = 0;
    virtual void SetStyle(uint32_t style) = 0;
    // Resizable, ToolBar 1, MenuBar and StatusBar, in that order.
    virtual void RestoreChrome() = 0;
};

// What the window's thread sees of the rest of the system.
class Surroundings {
public:
    virtual ~Surroundings() = default;
    enum class Key { Ctrl, Shift, Alt };
    virtual int16_t KeyState(Key key) = 0; // negative while down
    virtual void Trace(const std::string& line) = 0;
    virtual std::string DiscoverParentProcess() = 0;
    virtual void TerminateBrowser() = 0; // does not return in the browser
};

// The per-window fields of the integrator object.
struct WindowState {
    bool ctrlOverride = false;
    bool shiftOverride = false;
    bool altOverride = false;
    bool clicked = false;
    bool ntFamily = false;     // from the version record read at attachment
    std::string parentProcess; // "N/A" from attachment with blocking on
};

// NewWindow2 in the asking window, after the wait for the previous hand-over
// and with the service obtained.
void HandleNewWindowRequest(PopupService& service, BrowserWindow& asking, Surroundings& sys,
                            WindowState& window, HandOverState& handOver);

enum class NavigationOutcome {
    BlockingOff, // nothing examined, pending page left as it was
    NotCandidate,
    Blocked,
    Allowed, // let through as the browser made it
    AllowedNormalised,
    BrowserTerminated,
};

// BeforeNavigate2 in any window, with the geometry read before the service
// was obtained. A ServiceFailure leaves with the pending page cleared when
// the window had become a candidate, so the next hand-over is not held up.
NavigationOutcome HandleNavigation(PopupService& service, BrowserWindow& browser, Surroundings& sys,
                                   WindowState& window, HandOverState& handOver,
                                   const std::string& url, const WindowGeometry& geometry);

} // namespace qlx::integrator
