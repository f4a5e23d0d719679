#pragma once
// The session's time limit and its termination event, which the server
// exchange, the downloads and the script watch alike.
#include <cstdint>

#include "updater/core/log_line.h"
#include "updater/core/platform.h"

namespace qlx::updater {

class SessionGuard {
public:
    SessionGuard(SessionClock& clock, LogSink& log) : clock_(clock), log_(log) {}

    SessionClock& Clock() { return clock_; }
    // From now on the session may run `timeoutMs` more.
    void Start(uint64_t timeoutMs);
    // Milliseconds since system start at which the session runs out of time.
    uint64_t Deadline() const { return deadline_; }
    // Throws -18 (logged) once the session has run longer than SessionTimeout.
    void CheckTime();
    // True, with the cancel flag set, once the termination event is signalled.
    bool Terminating();
    // Throws 26 once the termination event is signalled.
    void CheckCancel();
    bool Cancelled() const { return cancelled_; }
    // The flag itself, for the script, which sets it on its own.
    bool* CancelFlag() { return &cancelled_; }

private:
    SessionClock& clock_;
    LogSink& log_;
    uint64_t timeoutMs_ = 0;
    uint64_t deadline_ = 0;
    bool cancelled_ = false;
};

} // namespace qlx::updater
