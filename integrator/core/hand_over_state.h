#pragma once
// The process-wide hand-over of the asking page: a window whose page asks for
// a new window leaves its title and address here as the pending parent page;
// the next examined navigation of any window of the process takes it. The
// windows run on different threads, so every access goes through one lock.
// A pending pair that nobody takes (the new window opened elsewhere, blocking
// was switched off in between) is dropped once it is older than the maximum
// age, so a later new-window request never waits for ever.
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace qlx::integrator {

struct ParentPage {
    std::optional<std::string> title;
    std::optional<std::string> address; // set: a new window is expected
};

class HandOverState {
public:
    using Clock = std::chrono::steady_clock;
    struct Timing {
        std::function<Clock::time_point()> now;
        std::function<void(std::chrono::milliseconds)> sleep;
    };
    static constexpr std::chrono::milliseconds kPollInterval{100};
    static constexpr std::chrono::milliseconds kDefaultMaxPendingAge{5000};

    HandOverState();
    HandOverState(Timing timing, std::chrono::milliseconds maxPendingAge);

    // Waits, polling every 100 ms, until no pending parent address is set;
    // a pair older than the maximum age is dropped instead of waited for.
    void WaitUntilHandedOver();

    // Captures the asking page as pending; each half only if it is not set yet.
    void CapturePending(std::string_view title, std::string_view address);
    // A window without browser chrome serves as its own parent page: each half
    // not set yet takes this window's value, or the last parent's when empty.
    void CaptureFromWindow(std::string_view title, std::string_view address);
    bool HasPendingAddress() const;
    ParentPage Pending() const;
    void ClearPending();

    void ClearLast();
    void SetLast(std::string_view title, std::string_view address);
    ParentPage Last() const;

    void SetOverride(bool on);
    bool Override() const;

private:
    void MarkPendingSince();
    void ClearPendingLocked();

    Timing timing_;
    std::chrono::milliseconds maxPendingAge_;
    mutable std::mutex mutex_;
    ParentPage pending_;
    Clock::time_point pendingSince_{};
    ParentPage last_;
    bool override_ = false;
};

} // namespace qlx::integrator
