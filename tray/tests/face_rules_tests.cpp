// Rules of the windows a user sees: minibar placement and layout, the main
// window's toggle images, values and removals, and what a blocked pop-up
// sets off.
#include <gtest/gtest.h>

#include "tray/core/main_window_rules.h"
#include "tray/core/minibar_rules.h"
#include "tray/core/notification_rules.h"
#include "tray/core/screen_place.h"
#include "tray/core/settings.h"
#include "tray/tests/fake_clock.h"

namespace qlx::tray {
namespace {

TEST(ScreenPlace, MoveIntoTakesTheShortestWayOntoTheArea) {
    const ScreenRect area{0, 0, 1280, 1000};
    const struct {
        ScreenRect window, expected;
    } cases[] = {
        {{10, 10, 262, 44}, {10, 10, 262, 44}},              // inside: kept
        {{-400, 40, -148, 74}, {0, 40, 252, 74}},            // off the left
        {{1900, 1200, 2152, 1234}, {1028, 966, 1280, 1000}}, // off right and bottom
        {{5, -50, 257, -16}, {5, 0, 257, 34}},               // above the top
        {{-10, 0, 1390, 50}, {0, 0, 1400, 50}},              // wider than the area: left edge wins
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MoveInto(c.window, area), c.expected) << c.window.left << "," << c.window.top;
    }
}

TEST(ScreenPlace, BesideTheTrayIconAwayFromTheTaskbarInsideTheWorkArea) {
    const struct {
        TaskbarEdge edge;
        ScreenRect icon, work, expected;
    } cases[] = {
        // Taskbar on the left: the window opens right of the icon.
        {TaskbarEdge::Left, {10, 900, 34, 924}, {48, 0, 1280, 1024}, {48, 524, 368, 924}},
        {TaskbarEdge::Right, {1250, 900, 1274, 924}, {0, 0, 1232, 1024}, {912, 524, 1232, 924}},
        // Top: below it, pushed left of the work area's right edge.
        {TaskbarEdge::Top, {1250, 8, 1274, 32}, {0, 40, 1280, 1024}, {954, 40, 1274, 440}},
        // A second monitor left of the primary one, taskbar at its bottom.
        {TaskbarEdge::Bottom, {-30, 990, -6, 1014}, {-1280, 0, 0, 980}, {-326, 580, -6, 980}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceBesideTrayIcon(c.icon, c.edge, c.work, 320, 400), c.expected)
            << static_cast<int>(c.edge);
    }
}

TEST(ScreenPlace, WithoutTheIconsPlaceTheWindowStaysOffTheTaskbar) {
    // The work area as a system without a taskbar reports it: the whole screen.
    const ScreenRect screen{0, 0, 1280, 1024};
    const struct {
        TaskbarEdge edge;
        ScreenRect bar, expected;
    } cases[] = {
        {TaskbarEdge::Left, {0, 0, 48, 1024}, {48, 624, 368, 1024}},
        {TaskbarEdge::Right, {1232, 0, 1280, 1024}, {912, 624, 1232, 1024}},
        {TaskbarEdge::Top, {0, 0, 1280, 40}, {960, 40, 1280, 440}},
        {TaskbarEdge::Bottom, {0, 984, 1280, 1024}, {960, 584, 1280, 984}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceBesideTrayIcon(TrayIconCorner(c.bar, c.edge), c.edge, screen, 320, 400),
                  c.expected)
            << static_cast<int>(c.edge);
    }
}

TEST(MiniBarRules, PositionFromStoredDistancesAndBack) {
    struct Case {
        int screen;
        uint32_t dx, dy;
        ScreenPoint expected;
    };
    const Case cases[] = {
        {1280, 352, 0, {928, 0}},                   // the defaults
        {1280, 1280, 40, {0, 40}},                  // at the left edge
        {1280, 1500, 7, {-220, 7}},                 // off the left edge, kept so
        {1280, 0xFFFFFFF6, 0xFFFFFFFB, {1290, -5}}, // dragged past right and top
        {800, 0x80000000, 0, {static_cast<int>(800u + 0x80000000u), 0}}, // wraps, no overflow
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dx);
        EXPECT_EQ(MiniBarPosition(c.screen, c.dx, c.dy), c.expected);
        EXPECT_EQ(StoreMiniBarPosition(c.screen, c.expected), (StoredPosition{c.dx, c.dy}));
    }
}

TEST(MiniBarRules, CompactMovesOnlyCloseAndLeft) {
    const auto full = MiniBarLayout(false, true);
    const auto compact = MiniBarLayout(true, true);
    for (size_t i = 0; i < full.size(); ++i) {
        const bool moves =
            full[i].button == MiniBarButton::Close || full[i].button == MiniBarButton::Left;
        EXPECT_EQ(full[i].x != compact[i].x, moves) << full[i].control;
        EXPECT_EQ(full[i].y, compact[i].y);
    }
    EXPECT_EQ(full[4].x, 233);
    EXPECT_EQ(compact[4].x, 32);
    EXPECT_EQ(compact[5].bitmap, 183);
    EXPECT_EQ(full[5].bitmap, 180);
    EXPECT_EQ(MiniBarLayout(false, false)[2].bitmap, 187);
    EXPECT_EQ(MiniBarLayout(false, false)[2].tip, 171);
    EXPECT_EQ(MiniBarShapeBitmap(true), 182);
}

TEST(MainWindowRules, ToggleStripImagesFollowBothSwitches) {
    EXPECT_EQ(ToggleStripBitmaps(false, false), (std::array<int, 3>{144, 145, 144}));
    EXPECT_EQ(ToggleStripBitmaps(false, true), (std::array<int, 3>{201, 206, 201}));
    EXPECT_EQ(ToggleStripBitmaps(true, false), (std::array<int, 3>{202, 205, 202}));
    EXPECT_EQ(ToggleStripBitmaps(true, true), (std::array<int, 3>{203, 204, 203}));
}

TEST(MainWindowRules, ValuesShowTheNewestEntryAndRollTheDayOver) {
    CSettings settings;
    settings.Construct(CSettings::FactoryDefaults(""));
    testing::FakeClock clock;
    settings.PopupBlockedToday_Count = 4;
    settings.PopupBlockedTotal_Count = 9;
    settings.today_time = "2026-12-06";
    EXPECT_EQ(ComputeStatisticsValues(settings, clock), (StatisticsValues{" ", " ", "0", "9"}));
    EXPECT_EQ(settings.today_time, "2026-12-07");

    settings.history = {{"2026-12-07 08:00:00", "http://a.com", "http://a.com/old"},
                        {"2026-12-07 09:00:00", "http://b.com", "http://b.com/new"}};
    settings.PopupBlockedToday_Count = 2;
    EXPECT_EQ(ComputeStatisticsValues(settings, clock),
              (StatisticsValues{"http://b.com/new", "2026-12-07 09:00:00", "2", "9"}));
}

TEST(MainWindowRules, RemovalDeletesExactlyTheSelectedEntries) {
    struct Case {
        std::vector<size_t> selected; // entry indices of the selected rows, list order
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{2, 0}, {"b"}},         // newest and oldest of three
        {{0, 2}, {"b"}},         // in any order
        {{1, 1, 7}, {"a", "c"}}, // twice, and past the end
        {{}, {"a", "b", "c"}},
    };
    for (const Case& c : cases) {
        History history = {{"t", "", "a"}, {"t", "", "b"}, {"t", "", "c"}};
        RemoveEntries(history, c.selected);
        std::vector<std::string> left;
        for (const auto& entry : history) {
            left.push_back(entry.popupAddress);
        }
        EXPECT_EQ(left, c.left);
    }
    EXPECT_EQ(RemovalOrder({0, 2, 1}, 3), (std::vector<size_t>{2, 1, 0}));
}

TEST(MainWindowRules, LastPopupNeedsANewestAddress) {
    EXPECT_FALSE(HasLastPopup({}));
    EXPECT_FALSE(HasLastPopup({{"t", "http://a.com", "junk\n"}}));
    EXPECT_TRUE(HasLastPopup({{"t", "", ""}, {"t", "", "http://a.com/p"}}));
}

TEST(NotificationRules, EachKindBehindItsOptionAllBehindTheSuppression) {
    CSettings settings;
    settings.Construct(CSettings::FactoryDefaults(""));
    EXPECT_EQ(ChooseNotifications(settings), (NotificationChoice{true, true, false, false}));
    settings.ShowToolTip = false;
    settings.BeepViaPCSpeaker = true;
    settings.PlaySoundFile = true;
    EXPECT_EQ(ChooseNotifications(settings), (NotificationChoice{false, true, true, true}));
    settings.AllowRequestedPopup = true;
    EXPECT_EQ(ChooseNotifications(settings), NotificationChoice{});
}

TEST(NotificationRules, BlinkEndsOnTheNormalIconAfterFiveSeconds) {
    EXPECT_EQ(kBlinkSequence.front(), kAlertTrayIcon);
    for (size_t step = 0; step < 10; ++step) {
        EXPECT_EQ(kBlinkSequence[step], step % 2 == 0 ? kAlertTrayIcon : kNormalTrayIcon) << step;
    }
    EXPECT_EQ(kBlinkSequence.back(), kNormalTrayIcon);
    EXPECT_EQ((kBlinkSequence.size() - 1) * kBlinkStepMs, 5000u);
}

TEST(NotificationRules, TipPlaceAndDuration) {
    EXPECT_EQ(PlaceTip(1280, 994), (TipRect{1060, 889, 250, 180}));
    EXPECT_EQ(TipDurationMs(5), 5000u);
    EXPECT_EQ(TipDurationMs(0xFFFFFFFF), 0x7FFFFFFFu);
}

} // namespace
} // namespace qlx::tray
