#include "integrator/core/hand_over_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
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

    // Another window takes the pending page during the given sleep.
    void TakenAtSleep(HandOverState& state, int sleep) {
        onSleep = [this, &state, sleep] {
            if (sleeps == sleep) {
                state.ClearPending();
            }
        };
    }

    HandOverState::Timing Timing() {
        return {[this] { return now; },
                [this](std::unique_lock<std::mutex>& lock, std::chrono::milliseconds d) {
                    now += d;
                    ++sleeps;
                    if (onSleep) {
                        lock.unlock();
                        onSleep();
                        lock.lock();
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
    clock.TakenAtSleep(state, 3);
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
    clock.TakenAtSleep(state, 5);
    state.WaitUntilHandedOver();
    EXPECT_EQ(clock.sleeps, 5);
}

// Every reader applies the age, not only the wait: a pair left behind by a
// window that never came must not make a later ordinary navigation a
// candidate.
TEST(HandOverStateTest, StalePairIsGoneForEveryReader) {
    const std::vector<std::pair<const char*, std::function<bool(HandOverState&)>>> readers = {
        {"HasPendingAddress", [](HandOverState& s) { return s.HasPendingAddress(); }},
        {"Pending", [](HandOverState& s) { return s.Pending().title.has_value(); }},
        {"Examine", [](HandOverState& s) { return s.Examine().page.address.has_value(); }},
    };
    for (const auto& [name, seesPair] : readers) {
        ManualClock clock;
        HandOverState state(clock.Timing(), 5s);
        state.CapturePending("t", "http://a.example/");
        clock.now += 4900ms;
        EXPECT_TRUE(seesPair(state)) << name;
        clock.now += 100ms;
        EXPECT_FALSE(seesPair(state)) << name;
    }
}

TEST(HandOverStateTest, WindowWithoutChromeReplacesAStalePairWithItsOwnPage) {
    ManualClock clock;
    HandOverState state(clock.Timing(), 5s);
    state.CapturePending("old", "http://old.example/");
    clock.now += 6s;
    const HandOverState::WindowPage own{"own", "http://own.example/"};
    const ExaminedPage seen = state.Examine(&own);
    EXPECT_EQ(seen.page.title, "own");
    EXPECT_EQ(seen.page.address, "http://own.example/");
}

TEST(HandOverStateTest, ClearingTheExaminedPairLeavesANewerOne) {
    HandOverState state;
    state.CapturePending("first", "http://first.example/");
    const ExaminedPage first = state.Examine();
    state.ClearExamined(first.generation);
    state.CapturePending("second", "http://second.example/");
    state.ClearExamined(first.generation); // a late clear of the first pair
    EXPECT_EQ(state.Pending().address, "http://second.example/");
    state.ClearExamined(state.Examine().generation);
    EXPECT_FALSE(state.HasPendingAddress());
}

// Two requests racing past the wait must not merge into one pair: the second
// capture waits for the first pair to be taken and then sets both halves.
TEST(HandOverStateTest, CaptureWaitsForALivePairAndThenTakesBothHalves) {
    ManualClock clock;
    HandOverState state(clock.Timing(), 5s);
    state.CapturePending("first", "http://first.example/");
    clock.TakenAtSleep(state, 2);
    state.CapturePending("second", "http://second.example/");
    EXPECT_EQ(clock.sleeps, 2);
    EXPECT_EQ(state.Pending().title, "second");
    EXPECT_EQ(state.Pending().address, "http://second.example/");
}

TEST(HandOverStateTest, CaptureKeepsATitleAlreadySet) {
    HandOverState state;
    state.CaptureFromWindow("own", ""); // no address of its own, no last parent
    state.CapturePending("asking", "http://asking.example/");
    EXPECT_EQ(state.Pending().title, "own");
    EXPECT_EQ(state.Pending().address, "http://asking.example/");
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

// Four asking windows against one taker: every request is handed over on
// its own, none merged into another's pair and none lost.
TEST(HandOverStateTest, ManyWindowThreadsHandOverOneAtATime) {
    HandOverState state;
    std::atomic<bool> stop{false};
    std::multiset<std::string> taken;

    std::thread taker([&] {
        while (!stop) {
            const ExaminedPage seen = state.Examine();
            if (seen.page.address) {
                EXPECT_EQ(seen.page.title, seen.page.address); // never half of each
                taken.insert(*seen.page.address);
                state.ClearExamined(seen.generation);
            }
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> askers;
    std::multiset<std::string> asked;
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 5; ++i) {
            asked.insert("http://a.example/" + std::to_string(t) + "/" + std::to_string(i));
        }
        askers.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const std::string page =
                    "http://a.example/" + std::to_string(t) + "/" + std::to_string(i);
                state.WaitUntilHandedOver();
                state.CapturePending(page, page);
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
    taker.join();
    EXPECT_EQ(taken, asked);
}

TEST(HandOverStateTest, OverrideFlagIsProcessWide) {
    HandOverState state;
    std::thread([&] { state.SetOverride(true); }).join();
    EXPECT_TRUE(state.Override());
}

} // namespace
} // namespace qlx::integrator
