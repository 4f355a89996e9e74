// The cycle actions: the quick switch over refused candidates, the backward key and an empty
// candidate list. (Steps on the shown panel are driven end to end and by the command tests; a
// press during the display delay and a change of mode are among the stress test's random
// steps, which check that every hold ends in exactly one outcome.)
#include "engine_fixture.h"
#include "model/filter_levels.h"

namespace velora {
namespace {

using CycleOrderTest = test::EngineTest;

// Refused: hidden (as the settings ask), ended since the switch began, blocked, still launching.
TEST_F(CycleOrderTest, AQuickSwitchSkipsRefusedApplicationsInBothDirections) {
    std::vector<pid_t> p = applications({"A", "Hidden", "Ended", "D", "E", "Blocked", "Launching"});
    sim.setApplicationHidden(p[1], true);
    sim.setFinishedLaunching(p[6], false);
    VLSettings::shared().ignoreHiddenApps = 1;
    start(); // loads the stored filters
    VLSettings::shared().updateFilters([](FilterDictionary& f) { f["Blocked"] = kFilterLevelBlockAll; });

    hold();
    press(&VLHandler::KeyCycleAppForward);
    sim.terminateApplication(p[2]);
    release();
    settle();
    EXPECT_EQ(activations(p[3], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);

    sim.clearCalls();
    sim.focusWindow(windowOf(p[0]));
    quickSwitch(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(activations(p[4], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);
}

// The backward key moves the selection of a running switch, during the display delay too (on
// the hidden panel). Without an active application its windows are the empty item, and no
// keys are taken.
TEST_F(CycleOrderTest, TheBackwardKeyActsDuringTheDelayAndAnEmptySwitchTakesNoKeys) {
    applications({"A", "B", "C"});
    start();
    hold();
    press(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(link.backwardRegistered);
    EXPECT_TRUE(link.keysTaken);
    engine->KeyUniversalBackward();
    while (engine->pollingThreadsRunning())
        nextPoll();
    EXPECT_EQ(selectedTitle(), "A");
    release();
    settle();
    expectSwitchOver();

    sim.clearFocus();
    show(&VLHandler::KeyCycleAppWindowForward);
    ASSERT_EQ(panel().browserData().size(), 1u);
    EXPECT_TRUE(panel().browserData()[0]->isEmpty());
    EXPECT_FALSE(link.backwardRegistered);
    EXPECT_FALSE(key(vk::Q)); // letters pass through
}

} // namespace
} // namespace velora
