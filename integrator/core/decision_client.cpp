#include "integrator/core/decision_client.h"

#include "integrator/core/trace_lines.h"
#include "integrator/core/window_shape.h"

namespace qlx::integrator {

namespace {

constexpr int16_t kComTrue = -1;

bool Yes(int16_t comBool) {
    return comBool != 0;
}

// One override flag: the switch, the key's own option, then the key itself,
// each read only while the previous term holds.
bool KeyOverride(PopupService& service, int16_t (PopupService::*keyOption)(), Surroundings& sys,
                 Surroundings::Key key) {
    return Yes(service.Ignore()) && Yes((service.*keyOption)()) && sys.KeyState(key) < 0;
}

// Clears the examined pair however the examination ends, but never a newer
// pair that another window's request captured meanwhile.
class ClearExaminedOnExit {
public:
    ClearExaminedOnExit(HandOverState& state, uint64_t generation)
        : state_(state), generation_(generation) {}
    ~ClearExaminedOnExit() { state_.ClearExamined(generation_); }
    ClearExaminedOnExit(const ClearExaminedOnExit&) = delete;
    ClearExaminedOnExit& operator=(const ClearExaminedOnExit&) = delete;

private:
    HandOverState& state_;
    uint64_t generation_;
};

} // namespace

void HandleNewWindowRequest(PopupService& service, BrowserWindow& asking, Surroundings& sys,
                            WindowState& window, HandOverState& handOver) {
    if (!Yes(service.Enable())) {
        return;
    }
    handOver.ClearLast();

    sys.Trace(KeyTrace(sys.KeyState(Surroundings::Key::Ctrl), sys.KeyState(Surroundings::Key::Alt),
                       sys.KeyState(Surroundings::Key::Shift)));
    window.ctrlOverride =
        KeyOverride(service, &PopupService::IgnoreCtrl, sys, Surroundings::Key::Ctrl);
    window.shiftOverride =
        KeyOverride(service, &PopupService::IgnoreShift, sys, Surroundings::Key::Shift);
    window.altOverride =
        KeyOverride(service, &PopupService::IgnoreAlt, sys, Surroundings::Key::Alt);
    sys.Trace(FlagsTrace(window.ctrlOverride, window.shiftOverride, window.altOverride));

    const bool anyOverride = window.ctrlOverride || window.shiftOverride || window.altOverride;
    handOver.SetOverride(anyOverride);

    if (!anyOverride) {
        // A click in the page is the user's own request unless the service
        // wants those blocked too.
        const bool userRequested = window.clicked && !Yes(service.BlockOnUserRequest());
        if (!userRequested) {
            handOver.CapturePending(asking.LocationName(), asking.LocationURL());
        }
    }
    handOver.SetLast(asking.LocationName(), asking.LocationURL());
    window.clicked = false;
}

NavigationOutcome HandleNavigation(PopupService& service, BrowserWindow& browser, Surroundings& sys,
                                   WindowState& window, HandOverState& handOver,
                                   const std::string& url, const WindowGeometry& geometry) {
    const int16_t enable = service.Enable();
    if (!Yes(enable)) {
        return NavigationOutcome::BlockingOff;
    }
    bool normalise = Yes(service.Normalize());

    if (window.ntFamily) {
        window.parentProcess = sys.DiscoverParentProcess();
        if (Yes(service.Block2(url, window.parentProcess, geometry))) {
            sys.TerminateBrowser();
            return NavigationOutcome::BrowserTerminated;
        }
        if (normalise) {
            normalise = Yes(service.Normalize2());
        }
    }

    const bool lacksChrome =
        LacksBrowserChrome(browser.ToolBar(), [&browser] { return browser.MenuBar(); });
    ExaminedPage examined;
    if (lacksChrome) {
        const std::string title = browser.LocationName();
        const std::string address = browser.LocationURL();
        const HandOverState::WindowPage own{title, address};
        examined = handOver.Examine(&own);
    } else {
        examined = handOver.Examine();
    }
    if (!examined.page.address && !lacksChrome) {
        return NavigationOutcome::NotCandidate;
    }

    bool blocked = false;
    {
        ClearExaminedOnExit clearPending(handOver, examined.generation);
        if (enable == kComTrue) {
            sys.Trace(
                FlagsBeforeTrace(window.ctrlOverride, window.shiftOverride, window.altOverride));
            // The override is consumed by this candidate whatever happens below.
            struct ClearOverride {
                HandOverState& state;
                ~ClearOverride() { state.SetOverride(false); }
            } clearOverride{handOver};
            if (!handOver.Override()) {
                const ParentPage& parent = examined.page;
                if (Yes(service.Block(parent.title.value_or(""), parent.address.value_or(""), url,
                                      window.parentProcess, geometry))) {
                    browser.StopAndQuit();
                    blocked = true;
                }
            }
            if (!blocked && normalise) {
                normalise = Yes(service.Normalize2());
            }
        }
    }
    if (blocked) {
        return NavigationOutcome::Blocked;
    }
    if (!normalise) {
        return NavigationOutcome::Allowed;
    }
    if (Yes(service.NormalizeFitToDesktop())) {
        browser.ShowMaximised();
    }
    if (Yes(service.NormalizeAddBorders())) {
        if (auto style = browser.Style()) {
            if (auto framed = StyleWithFrame(*style)) {
                browser.SetStyle(*framed);
            }
        }
    }
    if (Yes(service.NormalizeAddMenuAndToolbar())) {
        browser.RestoreChrome();
    }
    return NavigationOutcome::AllowedNormalised;
}

} // namespace qlx::integrator
