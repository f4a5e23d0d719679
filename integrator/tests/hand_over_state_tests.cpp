#include "integrator/core/hand_over_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace qlx::integrator {
namespace {

using namespace std::chrono_literals;

// A clock that only moves when the waiter sleeps.
struct ManualClock {
    HandOverState::Clock::time_point now{};
    int sleeps = 0;
    std::function<void()> onSleep;

    HandOverState::Timing Timing() {
        return {[this] { return now; },
                [this](std::chrono::milliseconds d) {
                    now += d;
                    ++sleeps;
                    if (onSleep) {
                        onSleep();
                    }
                }};
    }
};

TEST(HandOverStateTest, WaitReturnsAtOnceWithoutPendingPage) {
    ManualClock clock;
    HandOverState state(clock.Timing(), 5s);
    state.WaitUntilHandedOver();
    EXPECT_EQ(clock.sleeps, 0);
}

TEST(HandOverStateTest, WaitPollsEvery100msUntilAnotherWindowTakesThePage) {
    ManualClock clock;
    HandOverState state(clock.Timing(), 5s);
    state.CapturePending("t", "http://a.example/");
    clock.onSleep = [&] {
        if (clock.sleeps == 3) {
            state.ClearPending();
        }
    };
    state.WaitUntilHandedOver();
    EXPECT_EQ(clock.sleeps, 3);
    EXPECT_EQ(clock.now - HandOverState::Clock::time_point{}, 300ms);
}

TEST(HandOverStateTest, PendingPageNobodyTakesIsDroppedAfterMaximumAge) {
    ManualClock clock;
    HandOverState state(clock.Timing(), 2s);
    state.CapturePending("t", "http://a.example/");
    state.WaitUntilHandedOver();
    EXPECT_FALSE(state.HasPendingAddress());
    EXPECT_FALSE(state.Pending().title.has_value());
    EXPECT_EQ(clock.sleeps, 20);
}

TEST(HandOverStateTest, AgeCountsFromWhenTheAddressWasCaptured) {
    ManualClock clock;
    HandOverState state(clock.Timing(), 2s);
    clock.now += 10s; // time before the capture does not count
    state.CapturePending("t", "http://a.example/");
    clock.onSleep = [&] {
        if (clock.sleeps == 5) {
            state.ClearPending();
        }
    };
    state.WaitUntilHandedOver();
    EXPECT_EQ(clock.sleeps, 5);
}

TEST(HandOverStateTest, CaptureKeepsHalvesAlreadySet) {
    HandOverState state;
    state.CapturePending("first", "http://first.example/");
    state.CapturePending("second", "http://second.example/");
    EXPECT_EQ(state.Pending().title, "first");
    EXPECT_EQ(state.Pending().address, "http://first.example/");
}

TEST(HandOverStateTest, WindowCaptureFallsBackToLastParentOnlyWhenEmpty) {
    HandOverState state;
    state.SetLast("last", "http://last.example/");
    state.CaptureFromWindow("", "http://own.example/");
    EXPECT_EQ(state.Pending().title, "last");
    EXPECT_EQ(state.Pending().address, "http://own.example/");

    state.ClearPending();
    state.ClearLast();
    state.CaptureFromWindow("", "");
    EXPECT_FALSE(state.HasPendingAddress());
}

TEST(HandOverStateTest, ManyWindowThreadsHandOverOneAtATime) {
    HandOverState state;
    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};
    std::atomic<bool> stop{false};
    std::atomic<int> handled{0};

    // The "new windows": take whatever is pending.
    std::thread consumer([&] {
        while (!stop) {
            if (state.HasPendingAddress()) {
                inFlight--;
                state.ClearPending();
                handled++;
            }
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> askers;
    for (int t = 0; t < 4; ++t) {
        askers.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                state.WaitUntilHandedOver();
                // Only one capture may be outstanding at a time.
                const int now = ++inFlight;
                int seen = maxInFlight.load();
                while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
                }
                state.CapturePending("t", "http://a.example/" + std::to_string(t));
            }
        });
    }
    for (auto& a : askers) {
        a.join();
    }
    while (state.HasPendingAddress()) {
        std::this_thread::sleep_for(1ms);
    }
    stop = true;
    consumer.join();
    EXPECT_GE(handled.load(), 1);
    EXPECT_LE(handled.load(), 20);
}

TEST(HandOverStateTest, OverrideFlagIsProcessWide) {
    HandOverState state;
    std::thread([&] { state.SetOverride(true); }).join();
    EXPECT_TRUE(state.Override());
}

} // namespace
} // namespace qlx::integrator
