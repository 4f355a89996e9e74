// The cycle actions: candidate lists, where the selection starts and how it walks, the quick
// switch over refused candidates, mode changes and the backward key.
#include "engine_fixture.h"
#include "model/filter_levels.h"

namespace velora {
namespace {

using CycleOrderTest = test::EngineTest;

// Forward starts on the second, backward on the last; steps of either direction walk one
// list, wrapping, and start no new session.
TEST_F(CycleOrderTest, ApplicationsWalkBothWaysAndWrapWithinOneList) {
    applications({"A", "B", "C"});
    start();
    show(&VLHandler::KeyCycleAppForward);
    std::string titles;
    for (const auto& item : panel().browserData()) titles += item->title().value_or("?");
    EXPECT_EQ(titles, "ABC");
    EXPECT_EQ(selectedTitle(), "B");
    const uint64_t session = engine->sessionNumber();
    VLHandler* handler = engine; // called through a local: UBSan misreads engine->*action
    for (auto [action, expected] : {std::pair{&VLHandler::KeyCycleAppForward, "C"}, {&VLHandler::KeyCycleAppForward, "A"},
                                    {&VLHandler::KeyCycleAppBackward, "C"}, {&VLHandler::KeyCycleAppBackward, "B"}}) {
        (handler->*action)();
        EXPECT_EQ(selectedTitle(), expected);
    }
    EXPECT_EQ(engine->sessionNumber(), session);
    EXPECT_EQ(engine->pollingThreadsRunning(), 0);
    release();
    settle();

    show(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(selectedTitle(), "C");
}

TEST_F(CycleOrderTest, AQuickSwitchSkipsRefusedApplicationsInBothDirections) {
    std::vector<pid_t> p = applications({"A", "Hidden", "D", "E", "Blocked", "Launching"});
    sim.setApplicationHidden(p[1], true);
    sim.setFinishedLaunching(p[5], false);
    VLSettings::shared().ignoreHiddenApps = 1;
    start(); // loads the stored filters
    VLSettings::shared().updateFilters([](FilterDictionary& f) { f["Blocked"] = kFilterLevelBlockAll; });
    EXPECT_EQ(VLHandler::candidatesForMode(IKBController::kModeApplications).size(), 5u); // not the launching one

    quickSwitch(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(activations(p[2], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);

    sim.clearCalls();
    sim.focusWindow(windowOf(p[0]));
    quickSwitch(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(activations(p[3], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);
}

TEST_F(CycleOrderTest, AQuickSwitchInAListOfOneTakesTheCurrentOneOnlyBackward) {
    const pid_t only = applications({"Only"})[0];
    start();
    quickSwitch(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(sim.countCalls("activate"), 0);
    quickSwitch(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(activations(only, "3"), 1);
}

TEST_F(CycleOrderTest, AQuickSwitchOverWindowsRaisesTheNextShownWindow) {
    std::vector<pid_t> p = applications({"A", "B", "C"});
    sim.updateWindow(windowOf(p[1]), [](sim::WindowSpec& w) { w.minimized = true; });
    VLSettings::shared().ignoreMinimized = 1;
    start();
    sim.clearCalls();
    quickSwitch(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(sim.focusedWindow(), windowOf(p[2]));
    EXPECT_LE(sim.countCalls("windowList"), 1); // fetched at most once for the whole walk
}

TEST_F(CycleOrderTest, TheActiveApplicationsWindowsAndNothingWithoutAnActiveApplication) {
    std::vector<pid_t> p = applications({"A", "B"});
    const uint32_t second = sim.addWindow(p[0]);
    start();
    show(&VLHandler::KeyCycleAppWindowForward);
    for (const auto& item : panel().browserData()) EXPECT_EQ(item->windowRef()->pid(), p[0]);
    EXPECT_EQ(panel().browserData().size(), 2u);
    release();
    settle();
    EXPECT_EQ(sim.focusedWindow(), second);

    sim.clearFocus();
    show(&VLHandler::KeyCycleAppWindowForward);
    ASSERT_EQ(panel().browserData().size(), 1u);
    EXPECT_TRUE(panel().browserData()[0]->isEmpty());
    EXPECT_FALSE(engine->shouldHandleKeys());
    EXPECT_FALSE(link.isRegistered(delegate.backward));
    EXPECT_FALSE(key(vk::Q)); // letters pass through
}

TEST_F(CycleOrderTest, TheBackwardKeyWorksOnlyDuringASwitchShownOrNot) {
    applications({"A", "B", "C"});
    start();
    engine->KeyUniversalBackward(); // no switch: nothing to move
    EXPECT_TRUE(view.selections.empty());

    hold();
    press(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(link.isRegistered(delegate.backward));
    EXPECT_TRUE(link.keysTaken());
    engine->KeyUniversalBackward(); // during the delay, on the hidden panel
    EXPECT_EQ(selectedTitle(), "A");
    while (engine->pollingThreadsRunning()) nextPoll();
    engine->KeyUniversalBackward();
    EXPECT_EQ(selectedTitle(), "C");
    release();
    settle();
    expectSwitchOver();
}

// Window mode shown, then the active application's windows with equal full-screen settings:
// the panel stays up, refilled. A quick release then raises A's second window and hides the
// panel; the release finds it hidden and does nothing more.
TEST_F(CycleOrderTest, AModeChangeWithEqualFullScreenSettingsRefillsThePanelAndAQuickReleaseSwitchesOnce) {
    const pid_t a = applications({"A", "B"})[0];
    const uint32_t second = sim.addWindow(a);
    start();
    show(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(panel().browserData().size(), 3u);
    const int hides = window.orderOuts;
    press(&VLHandler::KeyCycleAppWindowForward);
    EXPECT_EQ(window.orderOuts, hides); // stayed up
    EXPECT_TRUE(panel().isShown());
    EXPECT_EQ(panel().mode(), IKBController::kModeApplicationWindows);
    EXPECT_EQ(panel().browserData().size(), 2u); // A's windows, looked up at the press
    EXPECT_EQ(engine->pollingThreadsRunning(), 1);
    sim.clearCalls();
    release();
    settle();
    EXPECT_EQ(sim.focusedWindow(), second);
    EXPECT_EQ(sim.countCalls("setFrontmost"), 2); // one raise
    expectSwitchOver();
}

TEST_F(CycleOrderTest, AModeChangeWithDifferentFullScreenSettingsHidesFirstAndShowsAfterTheDelay) {
    applications({"A", "B"});
    VLSettings::shared().fullScreenApps = 1;
    start();
    show(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(window.orderFronts, 1);
    press(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(window.orderOuts, 1);
    EXPECT_FALSE(panel().isShown());
    while (engine->pollingThreadsRunning()) nextPoll();
    EXPECT_TRUE(view.isInFullScreenMode());
    EXPECT_TRUE(panel().isShown());
    EXPECT_EQ(window.orderFronts, 1);
}

TEST_F(CycleOrderTest, APressDuringTheDelayStartsAFurtherSwitchThatAloneDecides) {
    std::vector<pid_t> p = applications({"A", "B", "C"});
    start();
    hold();
    press(&VLHandler::KeyCycleAppForward);
    nextPoll();
    engine->KeyCycleAppForward(); // a further switch, the selection back at its start
    EXPECT_EQ(selectedTitle(), "B");
    release();
    settle();
    EXPECT_EQ(activations(p[1], "3"), 1); // one switch, not one per press
    EXPECT_EQ(sim.countCalls("activate"), 1);
    EXPECT_TRUE(panel().browserData().empty());
}

} // namespace
} // namespace velora
