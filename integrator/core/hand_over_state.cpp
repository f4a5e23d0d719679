#include "integrator/core/hand_over_state.h"

namespace qlx::integrator {

HandOverState::HandOverState()
    : HandOverState(Timing{[] { return Clock::now(); }, nullptr}, kDefaultMaxPendingAge) {
    timing_.wait = [this](std::unique_lock<std::mutex>& lock, std::chrono::milliseconds d) {
        cleared_.wait_for(lock, d);
    };
}

HandOverState::HandOverState(Timing timing, std::chrono::milliseconds maxPendingAge)
    : timing_(std::move(timing)), maxPendingAge_(maxPendingAge) {}

void HandOverState::DropStaleLocked() {
    if (PendingLocked() && timing_.now() - pendingSince_ >= maxPendingAge_) {
        ClearPendingLocked();
    }
}

void HandOverState::WaitLocked(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        DropStaleLocked();
        if (!pending_.address) {
            return;
        }
        timing_.wait(lock, kPollInterval);
    }
}

void HandOverState::WaitUntilHandedOver() {
    std::unique_lock lock(mutex_);
    WaitLocked(lock);
}

void HandOverState::FillLocked(std::optional<std::string> title,
                               std::optional<std::string> address) {
    if (!PendingLocked() && (title || address)) {
        generation_ = ++lastGeneration_;
        pendingSince_ = timing_.now();
    }
    if (!pending_.title) {
        pending_.title = std::move(title);
    }
    if (!pending_.address) {
        pending_.address = std::move(address);
    }
}

void HandOverState::CapturePending(std::string_view title, std::string_view address) {
    std::unique_lock lock(mutex_);
    WaitLocked(lock);
    FillLocked(std::string(title), std::string(address));
}

void HandOverState::CaptureFromWindowLocked(std::string_view title, std::string_view address) {
    DropStaleLocked();
    FillLocked(!title.empty() ? std::optional<std::string>(title) : last_.title,
               !address.empty() ? std::optional<std::string>(address) : last_.address);
}

void HandOverState::CaptureFromWindow(std::string_view title, std::string_view address) {
    std::lock_guard lock(mutex_);
    CaptureFromWindowLocked(title, address);
}

ExaminedPage HandOverState::Examine(const WindowPage* lackingChrome) {
    std::lock_guard lock(mutex_);
    if (lackingChrome) {
        CaptureFromWindowLocked(lackingChrome->title, lackingChrome->address);
    } else {
        DropStaleLocked();
    }
    return ExaminedPage{pending_, generation_};
}

void HandOverState::ClearExamined(uint64_t generation) {
    std::lock_guard lock(mutex_);
    if (generation == generation_) {
        ClearPendingLocked();
    }
}

bool HandOverState::HasPendingAddress() {
    std::lock_guard lock(mutex_);
    DropStaleLocked();
    return pending_.address.has_value();
}

ParentPage HandOverState::Pending() {
    std::lock_guard lock(mutex_);
    DropStaleLocked();
    return pending_;
}

void HandOverState::ClearPending() {
    std::lock_guard lock(mutex_);
    ClearPendingLocked();
}

void HandOverState::ClearPendingLocked() {
    pending_ = ParentPage{};
    generation_ = 0;
    cleared_.notify_all();
}

void HandOverState::ClearLast() {
    std::lock_guard lock(mutex_);
    last_ = ParentPage{};
}

void HandOverState::SetLast(std::string_view title, std::string_view address) {
    std::lock_guard lock(mutex_);
    last_.title = std::string(title);
    last_.address = std::string(address);
}

ParentPage HandOverState::Last() const {
    std::lock_guard lock(mutex_);
    return last_;
}

void HandOverState::SetOverride(bool on) {
    std::lock_guard lock(mutex_);
    override_ = on;
}

bool HandOverState::Override() const {
    std::lock_guard lock(mutex_);
    return override_;
}

} // namespace qlx::integrator
