#include "bridge/core/judgement.h"

#include <cmath>

#include "bridge/core/json.h"
#include "integrator/core/decision_client.h"
#include "integrator/core/hand_over_state.h"
#include "integrator/core/identity.h"

namespace qlx::bridge {

namespace {

using integrator::NavigationOutcome;
using integrator::PopupService;
using integrator::WindowGeometry;

constexpr int16_t kKeyDown = -128;

bool FreshClick(const NewWindowQuestion& q) {
    return q.click && q.click->ageMs <= kFreshClickMs;
}

// The opener in its new-window request: only its page is read.
class OpenerWindow final : public integrator::BrowserWindow {
public:
    explicit OpenerWindow(const NewWindowQuestion& q) : q_(q) {}
    std::string LocationName() override { return q_.openerTitle; }
    std::string LocationURL() override { return q_.openerUrl; }
    std::optional<int32_t> ToolBar() override { return 1; }
    std::optional<bool> MenuBar() override { return true; }
    void StopAndQuit() override {}
    void ShowMaximised() override {}
    std::optional<uint32_t> Style() override { return std::nullopt; }
    void SetStyle(uint32_t) override {}
    void RestoreChrome() override {}

private:
    const NewWindowQuestion& q_;
};

// The new window at its first navigation. It has no page of its own yet, so a
// window without chrome takes the opener's (the last parent page). Chromium
// frames every window itself: there is no style to add borders to.
class NewWindow final : public integrator::BrowserWindow {
public:
    explicit NewWindow(const NewWindowQuestion& q) : q_(q) {}
    std::string LocationName() override { return {}; }
    std::string LocationURL() override { return {}; }
    std::optional<int32_t> ToolBar() override { return q_.popupWindow ? 0 : 1; }
    std::optional<bool> MenuBar() override { return !q_.popupWindow; }
    void StopAndQuit() override { closed = true; }
    void ShowMaximised() override { maximise = q_.popupWindow; }
    std::optional<uint32_t> Style() override { return std::nullopt; }
    void SetStyle(uint32_t) override {}
    void RestoreChrome() override { normalWindow = q_.popupWindow; }

    bool closed = false;
    bool maximise = false;
    bool normalWindow = false;

private:
    const NewWindowQuestion& q_;
};

// The keys are those held at the click that led to the window.
class QuestionSurroundings final : public integrator::Surroundings {
public:
    QuestionSurroundings(const NewWindowQuestion& q, const TraceSink& trace)
        : q_(q), trace_(trace) {}
    int16_t KeyState(Key key) override {
        if (!FreshClick(q_)) {
            return 0;
        }
        const Click& c = *q_.click;
        const bool down = key == Key::Ctrl ? c.ctrl : key == Key::Shift ? c.shift : c.alt;
        return down ? kKeyDown : 0;
    }
    void Trace(const std::string& line) override {
        if (trace_) {
            trace_(line);
        }
    }
    std::string DiscoverParentProcess() override { return std::string(ProcessName(q_.browser)); }
    // The user's browser is never ended for a pop-up: the window is closed.
    void TerminateBrowser() override { terminate = true; }

    bool terminate = false;

private:
    const NewWindowQuestion& q_;
    const TraceSink& trace_;
};

// Remembers what the service answered where the reason depends on it.
class AnswersSeen final : public PopupService {
public:
    explicit AnswersSeen(PopupService& s) : s_(s) {}
    int16_t Enable() override { return s_.Enable(); }
    int16_t Block(const std::string& t, const std::string& p, const std::string& u,
                  const std::string& proc, const WindowGeometry& g) override {
        blockAsked = true;
        return s_.Block(t, p, u, proc, g);
    }
    int16_t Block2(const std::string& p, const std::string& proc,
                   const WindowGeometry& g) override {
        return s_.Block2(p, proc, g);
    }
    int16_t BlockOnUserRequest() override { return s_.BlockOnUserRequest(); }
    int16_t Normalize() override { return s_.Normalize(); }
    int16_t Normalize2() override { return s_.Normalize2(); }
    int16_t NormalizeFitToDesktop() override { return s_.NormalizeFitToDesktop(); }
    int16_t NormalizeAddBorders() override { return s_.NormalizeAddBorders(); }
    int16_t NormalizeAddMenuAndToolbar() override { return s_.NormalizeAddMenuAndToolbar(); }
    int16_t Ignore() override { return s_.Ignore(); }
    int16_t IgnoreCtrl() override { return s_.IgnoreCtrl(); }
    int16_t IgnoreShift() override { return s_.IgnoreShift(); }
    int16_t IgnoreAlt() override { return s_.IgnoreAlt(); }

    bool blockAsked = false;

private:
    PopupService& s_;
};

std::string KeysHeld(const Click& c) {
    std::string keys;
    for (auto [down, name] : {std::pair{c.ctrl, "Ctrl"}, {c.shift, "Shift"}, {c.alt, "Alt"}}) {
        if (down) {
            keys += keys.empty() ? name : std::string("+") + name;
        }
    }
    return keys;
}

std::string BlockedReason(const NewWindowQuestion& q, bool userRequested) {
    if (!FreshClick(q)) {
        return q.popupWindow ? "a window without toolbar and menu bar, opened without a click"
                             : "opened by the page without a click";
    }
    if (userRequested) {
        return "a clicked link, and pop-ups on user request are blocked";
    }
    std::string reason = q.click->link ? "opened by a click on a link that opens no new window"
                                       : "opened by a click outside a link";
    if (q.popupWindow && q.click->link && q.click->newWindow) {
        reason = "a window without toolbar and menu bar";
    }
    const std::string keys = KeysHeld(*q.click);
    if (!keys.empty()) {
        reason += " (" + keys + " held, not the override key)";
    }
    return reason;
}

std::string OverrideKeys(const integrator::WindowState& w) {
    std::string keys;
    for (auto [on, name] :
         {std::pair{w.ctrlOverride, "Ctrl"}, {w.shiftOverride, "Shift"}, {w.altOverride, "Alt"}}) {
        if (on) {
            keys += keys.empty() ? name : std::string("+") + name;
        }
    }
    return keys;
}

} // namespace

Verdict Judge(PopupService& rawService, const NewWindowQuestion& q, const TraceSink& trace) {
    AnswersSeen service(rawService);
    OpenerWindow opener(q);
    NewWindow window(q);
    QuestionSurroundings sys(q, trace);
    integrator::HandOverState handOver;
    integrator::WindowState state;
    state.ntFamily = true; // Edge and Chrome run on the Windows NT family only
    state.parentProcess = integrator::kUnknownProcessName;
    const bool clickedLink = FreshClick(q) && q.click->link && q.click->newWindow;
    state.clicked = clickedLink;

    integrator::HandleNewWindowRequest(service, opener, sys, state, handOver);
    const WindowGeometry geometry{static_cast<uint32_t>(q.left), static_cast<uint32_t>(q.top),
                                  static_cast<uint32_t>(q.width), static_cast<uint32_t>(q.height)};
    const NavigationOutcome outcome =
        integrator::HandleNavigation(service, window, sys, state, handOver, q.target, geometry);

    Verdict v;
    const std::string keys = OverrideKeys(state);
    switch (outcome) {
    case NavigationOutcome::BlockingOff:
        return LetThrough("blocking is switched off");
    case NavigationOutcome::BrowserTerminated:
        v.block = true;
        v.reason = "the popup service blocks the browser's parent process";
        return v;
    case NavigationOutcome::Blocked:
        v.block = true;
        // A clicked link reaches Block only when the service blocks on user
        // request (or the window lacks chrome).
        v.reason = BlockedReason(q, clickedLink && !q.popupWindow);
        return v;
    case NavigationOutcome::NotCandidate:
        v.reason = !keys.empty() ? keys + " held: the override key"
                                 : "the user clicked a link that opens a new window";
        return v;
    case NavigationOutcome::Allowed:
    case NavigationOutcome::AllowedNormalised:
        if (!keys.empty()) {
            v.reason = keys + " held: the override key";
        } else if (service.blockAsked) {
            v.reason = "the popup service let it through";
        } else {
            v.reason = "not a pop-up";
        }
        v.maximise = window.maximise;
        v.normalWindow = window.normalWindow;
        return v;
    }
    return v;
}

Verdict LetThrough(std::string reason) {
    Verdict v;
    v.reason = std::move(reason);
    return v;
}

namespace {

std::string IdText(double id) {
    return std::to_string(static_cast<long long>(id));
}

} // namespace

std::string VerdictReply(double id, const Verdict& v) {
    auto flag = [](bool b) { return b ? "true" : "false"; };
    return "{\"id\":" + IdText(id) + ",\"verdict\":" + (v.block ? "\"block\"" : "\"allow\"") +
           ",\"reason\":" + JsonQuote(v.reason) + ",\"maximise\":" + flag(v.maximise) +
           ",\"normalWindow\":" + flag(v.normalWindow) + "}";
}

std::string ErrorReply(std::optional<double> id, std::string_view error) {
    return "{\"id\":" + (id ? IdText(*id) : std::string("null")) +
           ",\"error\":" + JsonQuote(error) + "}";
}

} // namespace qlx::bridge
