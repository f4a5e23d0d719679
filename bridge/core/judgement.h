#pragma once
// A new window of Edge or Chrome judged as the browser integrator judges one
// of the built-in browser: the opener's new-window request, then the new
// window's first navigation, through the integrator's own decision client and
// the same popup service. Each question stands alone: its own hand-over of
// the opener's page, its own override flags, consumed by its own window.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/core/question.h"
#include "integrator/core/popup_service.h"

namespace qlx::bridge {

// A click counts for the window only while it is this fresh (the time the
// browser itself gives a user's gesture): a click whose link opened nothing
// must not let a later pop-up of the page through, but a link opened from its
// context menu comes a few seconds after the right click.
inline constexpr double kFreshClickMs = 5000;

struct Verdict {
    bool block = false;
    std::string reason;
    // For a window let through with normalisation on; the worker applies them
    // to windows of type "popup" only (a tab already fills its window).
    bool maximise = false;
    bool normalWindow = false;
};

using TraceSink = std::function<void(const std::string&)>;

// Throws integrator::ServiceFailure when a call of the service fails.
Verdict Judge(integrator::PopupService& service, const NewWindowQuestion& question,
              const TraceSink& trace);

// Let through without asking (no tray program, no service, a failed call).
Verdict LetThrough(std::string reason);

std::string VerdictReply(double id, const Verdict& verdict);
std::string ErrorReply(std::optional<double> id, std::string_view error);

} // namespace qlx::bridge
