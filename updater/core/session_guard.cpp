#include "updater/core/session_guard.h"

#include <string>

#include "updater/core/return_codes.h"

namespace qlx::updater {

void SessionGuard::Start(uint64_t timeoutMs) {
    timeoutMs_ = timeoutMs;
    deadline_ = clock_.Milliseconds() + timeoutMs;
}

void SessionGuard::CheckTime() {
    if (clock_.Milliseconds() > deadline_) {
        log_.Write("Fatal error: the session ran out of time (SessionTimeout " +
                   std::to_string(timeoutMs_ / 1000) + " s). Exiting.");
        throw UpdaterFailure{kGeneralFailure};
    }
}

bool SessionGuard::Terminating() {
    // One look at the event: under Wine each is a call to the Wine server.
    if (!clock_.TerminationSignalled()) {
        return false;
    }
    cancelled_ = true;
    return true;
}

void SessionGuard::CheckCancel() {
    if (Terminating()) {
        throw UpdaterFailure{kCancelled};
    }
}

} // namespace qlx::updater
