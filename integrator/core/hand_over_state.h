#pragma once
// The process-wide hand-over of the asking page: a window whose page asks for
// a new window leaves its title and address here as the pending parent page;
// the next examined navigation of any window of the process takes it. The
// windows run on different threads, so every access goes through one lock.
// A pending pair that nobody takes (the new window opened elsewhere, another
// add-on cancelled it, blocking was switched off in between) counts as gone
// once it is older than the maximum age, wherever it is read: otherwise an
// unrelated navigation minutes later would take it and its window be closed.
#include <chrono>
#include <condition_variable>
#include <cstdint>
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

// What one navigation saw of the pending pair. The generation names that
// pair, so that clearing it afterwards never drops a newer pair that another
// window's request captured meanwhile.
struct ExaminedPage {
    ParentPage page;
    uint64_t generation = 0;
};

class HandOverState {
public:
    using Clock = std::chrono::steady_clock;
    struct Timing {
        std::function<Clock::time_point()> now;
        // Waits with the lock released for at most the given time, or until
        // the pending pair is cleared.
        std::function<void(std::unique_lock<std::mutex>&, std::chrono::milliseconds)> wait;
    };
    static constexpr std::chrono::milliseconds kPollInterval{100};
    static constexpr std::chrono::milliseconds kDefaultMaxPendingAge{5000};

    HandOverState();
    HandOverState(Timing timing, std::chrono::milliseconds maxPendingAge);

    // Waits, looking at least every 100 ms, until no live pair is pending.
    void WaitUntilHandedOver();

    // Captures the asking page as pending; each half only if it is not set
    // yet. Waits for a live pair of another request first, and captures in the
    // same hold of the lock as the last look, so two requests never merge.
    void CapturePending(std::string_view title, std::string_view address);
    // A window without browser chrome serves as its own parent page: each half
    // not set yet takes this window's value, or the last parent's when empty.
    void CaptureFromWindow(std::string_view title, std::string_view address);
    // The navigation's look at the pending pair, after a window without chrome
    // (own page given) has filled it as CaptureFromWindow does; one step.
    struct WindowPage {
        std::string_view title;
        std::string_view address;
    };
    ExaminedPage Examine(const WindowPage* lackingChrome = nullptr);
    // Clears the pair only if it is still the one examined.
    void ClearExamined(uint64_t generation);

    bool HasPendingAddress();
    ParentPage Pending();
    void ClearPending();

    void ClearLast();
    void SetLast(std::string_view title, std::string_view address);
    ParentPage Last() const;

    void SetOverride(bool on);
    bool Override() const;

private:
    bool PendingLocked() const { return pending_.title || pending_.address; }
    void DropStaleLocked();
    void WaitLocked(std::unique_lock<std::mutex>& lock);
    void FillLocked(std::optional<std::string> title, std::optional<std::string> address);
    void CaptureFromWindowLocked(std::string_view title, std::string_view address);
    void ClearPendingLocked();

    Timing timing_;
    std::chrono::milliseconds maxPendingAge_;
    mutable std::mutex mutex_;
    std::condition_variable cleared_;
    ParentPage pending_;
    Clock::time_point pendingSince_{};
    uint64_t generation_ = 0;
    uint64_t lastGeneration_ = 0;
    ParentPage last_;
    bool override_ = false;
};

} // namespace qlx::integrator
