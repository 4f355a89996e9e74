// The cycle actions: the quick switch over refused candidates, the backward key and an empty
// candidate list; clients that fail during a switch. (Steps on the shown panel are driven end
// to end and by the command tests; a press during the display delay and a change of mode are
// among the stress test's random steps, which check that every hold ends in exactly one
// outcome.)
#include <atomic>

#include "engine_fixture.h"
#include "model/filter_levels.h"

namespace velora {
namespace {

using CycleOrderTest = test::EngineTest;
using ClientFaultsTest = test::EngineTest;

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

// V dies, stops answering or loses its window while it is being pictured during a shown switch:
// the panel goes on with the others, and moving over V's item, the release or cancelling in the
// middle of the grabs is harmless; the switch ends with nothing left behind and the next one
// works. An application stopped before a switch may be left out of it. (One killed at random
// during switches is the stress test's.)
TEST_F(ClientFaultsTest, AnApplicationFailsWhileItsWindowIsPicturedOrBeforeASwitch) {
    const pid_t c = applications({"A", "B", "C"})[2];
    start();
    // A quick switch through all windows, without faults now, activates some application.
    const auto expectNextSwitchWorks = [&] {
        sim.setCaptureHook({});
        sim.clearCalls();
        quickSwitch(&VLHandler::KeyCycleWindowForward);
        expectSwitchOver();
        EXPECT_GE(sim.countCalls("activate"), 1);
    };
    enum class Fault { Kill, Hang, CloseWindow };
    std::atomic<bool> struck{false};
    for (auto [fault, cancel] :
         {std::pair{Fault::Kill, false}, {Fault::Hang, false}, {Fault::CloseWindow, true}}) {
        SCOPED_TRACE(int(fault));
        const pid_t victim = sim.launchApplication(application("V"));
        const uint32_t victimWindow = sim.addWindow(victim);
        sim.pump();
        struck = false;
        sim.setCaptureHook([this, &struck, victim, victimWindow, f = fault](uint32_t w) {
            if (w != victimWindow || struck.exchange(true)) return;
            if (f == Fault::Kill) sim.terminateApplication(victim);
            if (f == Fault::Hang) sim.setApplicationHung(victim, true);
            if (f == Fault::CloseWindow) sim.destroyWindow(victimWindow);
        });
        show(&VLHandler::KeyCycleWindowForward);
        engine->KeyCycleWindowForward();
        ASSERT_TRUE(sim.pumpUntil([&] { return struck.load(); }));
        if (cancel) {
            EXPECT_TRUE(key(vk::Escape)); // in the middle of the grabs
        } else {
            engine->queue().waitUntilAllOperationsAreFinished();
            for (int i = 0; i < 3; ++i)
                engine->KeyCycleWindowForward();
        }
        release();
        settle();
        expectSwitchOver();
        sim.setCaptureHook({});
        sim.setApplicationHung(victim, false);
        expectNextSwitchWorks();
    }
    sim.setApplicationHung(c, true);
    expectNextSwitchWorks();
}

} // namespace
} // namespace velora
