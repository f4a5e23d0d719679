#include "integrator/core/hand_over_state.h"

#include <thread>

namespace qlx::integrator {

HandOverState::HandOverState()
    : HandOverState(Timing{[] { return Clock::now(); },
                           [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }},
                    kDefaultMaxPendingAge) {}

HandOverState::HandOverState(Timing timing, std::chrono::milliseconds maxPendingAge)
    : timing_(std::move(timing)), maxPendingAge_(maxPendingAge) {}

void HandOverState::WaitUntilHandedOver() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (!pending_.address) {
                return;
            }
            if (timing_.now() - pendingSince_ >= maxPendingAge_) {
                ClearPendingLocked();
                return;
            }
        }
        timing_.sleep(kPollInterval);
    }
}

void HandOverState::MarkPendingSince() {
    pendingSince_ = timing_.now();
}

void HandOverState::CapturePending(std::string_view title, std::string_view address) {
    std::lock_guard lock(mutex_);
    if (!pending_.title) {
        pending_.title = std::string(title);
    }
    if (!pending_.address) {
        pending_.address = std::string(address);
        MarkPendingSince();
    }
}

void HandOverState::CaptureFromWindow(std::string_view title, std::string_view address) {
    std::lock_guard lock(mutex_);
    if (!pending_.title) {
        pending_.title = !title.empty() ? std::optional<std::string>(title) : last_.title;
    }
    if (!pending_.address) {
        pending_.address = !address.empty() ? std::optional<std::string>(address) : last_.address;
        if (pending_.address) {
            MarkPendingSince();
        }
    }
}

bool HandOverState::HasPendingAddress() const {
    std::lock_guard lock(mutex_);
    return pending_.address.has_value();
}

ParentPage HandOverState::Pending() const {
    std::lock_guard lock(mutex_);
    return pending_;
}

void HandOverState::ClearPending() {
    std::lock_guard lock(mutex_);
    ClearPendingLocked();
}

void HandOverState::ClearPendingLocked() {
    pending_ = ParentPage{};
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
