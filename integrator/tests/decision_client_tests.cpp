#include "integrator/core/decision_client.h"

#include <gtest/gtest.h>

#include "tests/fake_popup_side.h"

namespace qlx::integrator {
namespace {

using testing::FakeBrowser;
using testing::FakeService;
using testing::FakeSurroundings;
using Key = Surroundings::Key;

constexpr int16_t kDown = -128;
const WindowGeometry kGeometry{10, 20, 300, 200};

class DecisionClientTest : public ::testing::Test {
protected:
    DecisionClientTest() {
        asking.name = "Asking page";
        asking.url = "http://www.site.example/dir/page.html";
        popup.name = "";
        popup.url = "about:blank";
        askingState.ntFamily = true;
        askingState.parentProcess = "N/A";
        popupState = askingState;
    }

    void Request() { HandleNewWindowRequest(service, asking, sys, askingState, handOver); }
    NavigationOutcome Navigate(FakeBrowser& browser, WindowState& state,
                               const std::string& url = "http://ads.example/pop.html") {
        return HandleNavigation(service, browser, sys, state, handOver, url, kGeometry);
    }
    void ConfigureOverrideKey(const char* keyOption) {
        service.answers["Ignore"] = -1;
        service.answers[keyOption] = -1;
    }

    FakeService service;
    FakeSurroundings sys;
    HandOverState handOver;
    FakeBrowser asking;
    FakeBrowser popup;
    WindowState askingState;
    WindowState popupState;
};

// --- Key-press override -----------------------------------------------------

TEST_F(DecisionClientTest, ConfiguredCtrlHeldSetsCtrlAndProcessOverride) {
    ConfigureOverrideKey("IgnoreCtrl");
    sys.keys[Key::Ctrl] = kDown;
    Request();
    EXPECT_TRUE(askingState.ctrlOverride);
    EXPECT_FALSE(askingState.shiftOverride);
    EXPECT_FALSE(askingState.altOverride);
    EXPECT_TRUE(handOver.Override());
    EXPECT_FALSE(handOver.HasPendingAddress()); // nothing captured under an override
}

TEST_F(DecisionClientTest, UnconfiguredKeyHeldSetsNoFlag) {
    ConfigureOverrideKey("IgnoreCtrl");
    sys.keys[Key::Shift] = kDown;
    Request();
    EXPECT_FALSE(askingState.ctrlOverride || askingState.shiftOverride || askingState.altOverride);
    EXPECT_FALSE(handOver.Override());
    EXPECT_TRUE(handOver.HasPendingAddress());
}

TEST_F(DecisionClientTest, OverrideSwitchedOffReadsNeitherKeyOptionsNorKeys) {
    service.answers["Ignore"] = 0;
    service.answers["IgnoreCtrl"] = -1;
    sys.keys[Key::Ctrl] = kDown;
    Request();
    EXPECT_FALSE(askingState.ctrlOverride);
    EXPECT_FALSE(service.Called("IgnoreCtrl"));
    EXPECT_FALSE(service.Called("IgnoreShift"));
    EXPECT_FALSE(service.Called("IgnoreAlt"));
    // Only the "Key" trace reads the three keys.
    EXPECT_EQ(sys.keysRead.size(), 3u);
}

TEST_F(DecisionClientTest, TwoKeysHeldOnlyTheConfiguredOneCounts) {
    ConfigureOverrideKey("IgnoreShift");
    sys.keys[Key::Ctrl] = kDown;
    sys.keys[Key::Shift] = kDown;
    Request();
    EXPECT_FALSE(askingState.ctrlOverride);
    EXPECT_TRUE(askingState.shiftOverride);
    EXPECT_FALSE(askingState.altOverride);
}

TEST_F(DecisionClientTest, RequestWritesKeyAndFlagsTraces) {
    ConfigureOverrideKey("IgnoreAlt");
    sys.keys[Key::Ctrl] = -127;
    sys.keys[Key::Alt] = kDown;
    sys.keys[Key::Shift] = 1;
    Request();
    ASSERT_EQ(sys.traces.size(), 2u);
    EXPECT_EQ(sys.traces[0], "Key -127, -128, 1");
    EXPECT_EQ(sys.traces[1], "Flags 0, 0, 1");
}

TEST_F(DecisionClientTest, OverrideLetsNextCandidateOfAnyWindowPassAndIsThenCleared) {
    ConfigureOverrideKey("IgnoreCtrl");
    service.answers["Block"] = -1;
    service.answers["Normalize2"] = -1;
    service.answers["NormalizeFitToDesktop"] = -1;
    sys.keys[Key::Ctrl] = kDown;
    Request();
    sys.keys.clear();

    popup.toolbar = 0; // a candidate by its shape
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::AllowedNormalised);
    EXPECT_TRUE(service.blockCalls.empty());
    EXPECT_TRUE(popup.maximised);
    EXPECT_FALSE(handOver.Override());

    FakeBrowser another;
    another.toolbar = 0;
    EXPECT_EQ(Navigate(another, popupState), NavigationOutcome::Blocked);
}

TEST_F(DecisionClientTest, KeyHeldRequestWhoseWindowHasChromeKeepsOverrideForLaterCandidate) {
    ConfigureOverrideKey("IgnoreCtrl");
    service.answers["Block"] = -1;
    sys.keys[Key::Ctrl] = kDown;
    Request();
    sys.keys.clear();
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::NotCandidate);
    EXPECT_TRUE(handOver.Override());

    FakeBrowser chromeless;
    chromeless.menubar = false;
    EXPECT_EQ(Navigate(chromeless, popupState), NavigationOutcome::Allowed);
    EXPECT_FALSE(chromeless.quit);
}

// --- Capture of the asking page --------------------------------------------

TEST_F(DecisionClientTest, ScriptRequestCapturesAskingPageAndSetsLast) {
    askingState.clicked = false;
    Request();
    const ParentPage pending = handOver.Pending();
    EXPECT_EQ(pending.title, "Asking page");
    EXPECT_EQ(pending.address, asking.url);
    EXPECT_EQ(handOver.Last().address, asking.url);
    EXPECT_FALSE(service.Called("BlockOnUserRequest"));
}

TEST_F(DecisionClientTest, ClickInPageIsUserRequestUnlessServiceBlocksThose) {
    askingState.clicked = true;
    Request();
    EXPECT_FALSE(handOver.HasPendingAddress());
    EXPECT_FALSE(askingState.clicked);
    EXPECT_EQ(handOver.Last().title, "Asking page");

    askingState.clicked = true;
    service.answers["BlockOnUserRequest"] = -1;
    Request();
    EXPECT_TRUE(handOver.HasPendingAddress());
}

TEST_F(DecisionClientTest, EmptyAddressStillMarksNewWindowExpected) {
    asking.url = "";
    Request();
    EXPECT_EQ(handOver.Pending().address, "");
    EXPECT_TRUE(handOver.HasPendingAddress());
}

TEST_F(DecisionClientTest, BlockingOffAtRequestCapturesNothingAndKeepsFlags) {
    service.answers["Enable"] = 0;
    askingState.ctrlOverride = true;
    handOver.SetLast("old", "http://old.example/");
    Request();
    EXPECT_TRUE(askingState.ctrlOverride);
    EXPECT_FALSE(handOver.HasPendingAddress());
    EXPECT_EQ(handOver.Last().address, "http://old.example/");
    EXPECT_TRUE(sys.traces.empty());
}

// --- Candidates and verdicts ------------------------------------------------

TEST_F(DecisionClientTest, PendingRequestMakesNextNavigationABlockedCandidate) {
    service.answers["Block"] = -1;
    sys.parentProcess = "explorer.exe";
    Request();
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::Blocked);
    ASSERT_EQ(service.blockCalls.size(), 1u);
    const auto& call = service.blockCalls[0];
    EXPECT_EQ(call.title, "Asking page");
    EXPECT_EQ(call.parentUrl, asking.url);
    EXPECT_EQ(call.popupUrl, "http://ads.example/pop.html");
    EXPECT_EQ(call.process, "explorer.exe");
    EXPECT_EQ(call.geometry, kGeometry);
    EXPECT_TRUE(popup.quit);
    EXPECT_FALSE(popup.maximised); // a blocked window is never normalised
    EXPECT_FALSE(handOver.HasPendingAddress());
    EXPECT_EQ(sys.traces.back(), "Flags before 0, 0, 0");
}

// While Block is out, the examined pair may have aged out and another
// window's request captured its own: that newer pair stays for its window.
TEST_F(DecisionClientTest, ExaminationClearsOnlyThePairItExamined) {
    Request();
    service.onCall = [this](const std::string& member) {
        if (member == "Block") {
            handOver.ClearPending();
            handOver.CapturePending("Next", "http://next.example/");
        }
    };
    Navigate(popup, popupState);
    EXPECT_EQ(service.blockCalls.at(0).parentUrl, asking.url);
    EXPECT_EQ(handOver.Pending().address, "http://next.example/");
}

TEST_F(DecisionClientTest, OrdinaryNavigationWithoutRequestIsNoCandidate) {
    service.answers["Block"] = -1;
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::NotCandidate);
    EXPECT_FALSE(service.Called("Block"));
}

TEST_F(DecisionClientTest, ChromelessWindowWithoutRequestServesAsItsOwnParent) {
    service.answers["Block"] = -1;
    popup.name = "Pop";
    popup.url = "http://pop.example/";
    popup.toolbar = 1;
    popup.menubar = false;
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::Blocked);
    ASSERT_EQ(service.blockCalls.size(), 1u);
    EXPECT_EQ(service.blockCalls[0].title, "Pop");
    EXPECT_EQ(service.blockCalls[0].parentUrl, "http://pop.example/");
}

TEST_F(DecisionClientTest, ChromelessWindowWithoutOwnAddressFallsBackToLastParent) {
    service.answers["Block"] = -1;
    handOver.SetLast("Last page", "http://last.example/");
    popup.name = "";
    popup.url = "";
    popup.toolbar = 0;
    Navigate(popup, popupState);
    ASSERT_EQ(service.blockCalls.size(), 1u);
    EXPECT_EQ(service.blockCalls[0].title, "Last page");
    EXPECT_EQ(service.blockCalls[0].parentUrl, "http://last.example/");
}

TEST_F(DecisionClientTest, MenuBarReadOnlyWhenToolbarIsOneAndFailedReadsCountAsPresent) {
    popup.toolbar = 0;
    Navigate(popup, popupState);
    EXPECT_FALSE(popup.menuBarRead);

    FakeBrowser failing;
    failing.toolbar = std::nullopt;
    failing.menubar = std::nullopt;
    EXPECT_EQ(Navigate(failing, popupState), NavigationOutcome::NotCandidate);
    EXPECT_TRUE(failing.menuBarRead);
}

TEST_F(DecisionClientTest, BlockingOffAtNavigationLeavesPendingPage) {
    Request();
    service.answers["Enable"] = 0;
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::BlockingOff);
    EXPECT_TRUE(handOver.HasPendingAddress());
}

TEST_F(DecisionClientTest, EnableNotExactlyTrueExaminesWithoutAskingBlock) {
    Request();
    service.answers["Enable"] = 1;
    service.answers["Block"] = -1;
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::Allowed);
    EXPECT_FALSE(service.Called("Block"));
    EXPECT_FALSE(handOver.HasPendingAddress());
}

TEST_F(DecisionClientTest, AllowedCandidateIsNormalisedStepByStepByOption) {
    Request();
    service.answers["Block"] = 0;
    service.answers["Normalize2"] = -1;
    service.answers["NormalizeAddBorders"] = -1;
    popup.style = 0x10000000;
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::AllowedNormalised);
    EXPECT_FALSE(popup.maximised);
    EXPECT_EQ(popup.style, 0x10CF0000u);
    EXPECT_FALSE(popup.chromeRestored);
}

TEST_F(DecisionClientTest, WindowWithCaptionKeepsItsStyle) {
    Request();
    service.answers["Normalize2"] = -1;
    service.answers["NormalizeAddBorders"] = -1;
    service.answers["NormalizeAddMenuAndToolbar"] = -1;
    popup.style = 0x10C00000; // caption, no sizing frame
    Navigate(popup, popupState);
    EXPECT_EQ(popup.style, 0x10C00000u);
    EXPECT_TRUE(popup.chromeRestored);
}

TEST_F(DecisionClientTest, NormalizationOffLeavesWindowAsBrowserMadeIt) {
    Request();
    service.answers["Normalize2"] = 0;
    service.answers["NormalizeFitToDesktop"] = -1;
    service.answers["NormalizeAddBorders"] = -1;
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::Allowed);
    EXPECT_FALSE(popup.maximised);
    EXPECT_EQ(popup.style, 0x10000000u);
}

TEST_F(DecisionClientTest, ParentProcessStepOnlyOnNtFamily) {
    service.answers["Block"] = 0;
    Request();
    WindowState attachedWithoutTray; // all-zero version record
    Navigate(popup, attachedWithoutTray);
    EXPECT_FALSE(service.Called("Block2"));
    ASSERT_EQ(service.blockCalls.size(), 1u);
    EXPECT_EQ(service.blockCalls[0].process, "");
}

TEST_F(DecisionClientTest, Block2TrueEndsTheBrowserBeforeAnythingElse) {
    service.answers["Block2"] = -1;
    Request();
    EXPECT_EQ(Navigate(popup, popupState), NavigationOutcome::BrowserTerminated);
    EXPECT_TRUE(sys.terminated);
    EXPECT_FALSE(service.Called("Block"));
}

// --- Failures of the service in the middle of an event -----------------------

TEST_F(DecisionClientTest, FailingBlockStillReleasesPendingAndOverride) {
    Request();
    service.failOn = "Block";
    EXPECT_THROW(Navigate(popup, popupState), ServiceFailure);
    EXPECT_FALSE(popup.quit);
    EXPECT_FALSE(handOver.HasPendingAddress());
    EXPECT_FALSE(handOver.Override());
}

TEST_F(DecisionClientTest, FailureBeforeCandidateTestLeavesPendingForTheNextWindow) {
    Request();
    service.failOn = "Normalize";
    EXPECT_THROW(Navigate(popup, popupState), ServiceFailure);
    EXPECT_TRUE(handOver.HasPendingAddress());
}

} // namespace
} // namespace qlx::integrator
