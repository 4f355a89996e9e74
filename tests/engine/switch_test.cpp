// Switches on the simulated desktop: the quick switch over refused candidates, the backward
// key and an empty candidate list; clients that fail during a switch; the display delay (when
// a release switches at once and when the panel comes up); the command keys that act on the
// selection. (Steps on the shown panel are driven end to end and by the command cases; a press
// during the display delay and a change of mode are among the stress test's random steps,
// which check that every hold ends in exactly one outcome.)
#include <atomic>

#include "engine_fixture.h"
#include "model/filter_levels.h"
#include "platform/platform.h"

namespace velora {
namespace {

using CycleOrderTest = test::EngineTest;

// Applications A (in front), B and C, one window each; the engine started.
class SwitchTest : public test::EngineTest {
  protected:
    void SetUp() override {
        p = applications({"A", "B", "C"});
        start();
    }
    std::vector<pid_t> p;
};
using ClientFaultsTest = SwitchTest;
using DisplayDelayTest = SwitchTest;
using CommandsTest = SwitchTest;

// Refused: hidden (as the settings ask), ended since the switch began, blocked.
TEST_F(CycleOrderTest, AQuickSwitchSkipsRefusedApplicationsInBothDirections) {
    std::vector<pid_t> p = applications({"A", "Hidden", "Ended", "D", "E", "Blocked"});
    sim.setApplicationHidden(p[1], true);
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
    const pid_t c = p[2];
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

// The default delay is four polls. Released before any of them, the switch goes to B without
// the panel; held through the fourth, the panel comes up, and the release it then sees ends the
// switch on its selection, once the panel has gone (the center's report of the same release
// finds nothing more to end).
TEST_F(DisplayDelayTest, AReleaseBeforePollFourSwitchesAtOnceAndAtPollFourShowsThePanel) {
    for (int releasedAt : {0, 3, 4}) {
        SCOPED_TRACE("released before poll " + std::to_string(releasedAt));
        sim.clearCalls();
        int activationsWhenHidden = -1;
        window.onOrderOut = [&] { activationsWhenHidden = sim.countCalls("activate"); };
        hold();
        if (releasedAt == 0) sim.setModifierFlags(0);
        press(&VLHandler::KeyCycleAppForward);
        for (int poll = 1; poll <= 4 && engine->pollingThreadsRunning(); ++poll) {
            if (poll == releasedAt) sim.setModifierFlags(0);
            nextPoll();
        }
        settle();
        EXPECT_EQ(window.orderFronts, releasedAt < 4 ? 0 : 1);
        if (releasedAt == 4) {
            release();
            settle();
            // The panel went before the activation: hiding it focuses the window under the
            // pointer where focus follows the mouse, and only a later activation wins.
            EXPECT_EQ(activationsWhenHidden, 0) << "the selection was activated while the panel was still up";
        }
        EXPECT_EQ(activations(p[1], "3"), 1);
        expectSwitchOver();
        window.onOrderOut = nullptr;
        sim.focusWindow(windowOf(p[0]));
    }
}

// A wake-up of the polling thread with the keys still held (on X11 every change of focus
// wakes it) is no poll: the panel comes up at the fourth poll all the same.
TEST_F(DisplayDelayTest, WakeUpsWithTheKeysHeldAreNoPolls) {
    hold();
    press(&VLHandler::KeyCycleAppForward);
    for (int wake = 0; wake < 5; ++wake) {
        const uint64_t reads = sim.modifierFlagReads();
        mainThread().wakeSleepers();
        ASSERT_TRUE(pollerWaits(reads + 1)); // looked again, and sleeps on
    }
    for (int poll = 1; poll < 4; ++poll)
        nextPoll();
    EXPECT_FALSE(panel().isShown());
    nextPoll();
    EXPECT_EQ(engine->pollingThreadsRunning(), 0);
    EXPECT_TRUE(panel().isShown());
}

// Released before the first poll, and the release's end already came and went: the panel comes
// up all the same, and its selection is activated once.
TEST_F(DisplayDelayTest, WithNoDelayThePanelAlwaysComesUpAndTheReleaseActivatesItsSelection) {
    VLSettings::shared().displayDelay = 0;
    release();
    joinReleases();
    sim.pump();
    engine->KeyCycleAppForward();
    ASSERT_TRUE(sim.pumpUntil([&] { return engine->pollingThreadsRunning() == 0 && !panel().isShown(); }));
    EXPECT_EQ(window.orderFronts, 1);
    EXPECT_EQ(activations(p[1], "3"), 1);
    expectSwitchOver();
}

// The command keys on the shown panel that act on the selection: what each does, what it
// leaves as it was, and which keys pass through.
// (Quitting with q, minimising with m and Escape are driven end to end on a real desktop.)
TEST_F(CommandsTest, ItemCommandsActOnTheSelectionAndTheSwitchGoesOn) {
    show(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(key(vk::F));
    EXPECT_FALSE(key(vk::Key1));
    sim.pump();
    EXPECT_EQ(sim.countCalls("forceTerminate"), 1);
    EXPECT_TRUE(panel().browserData()[1]->isTransparent());
    EXPECT_EQ(selectedTitle(), "C"); // moved on past the faded item
    EXPECT_TRUE(panel().isShown());
    EXPECT_TRUE(engine->shouldHandleKeys());
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(CommandsTest, HideOthersHidesTheRestAndRaisesTheWindow) {
    show(&VLHandler::KeyCycleWindowForward);
    ASSERT_EQ(selectedTitle(), "B");
    EXPECT_TRUE(key(vk::O));
    sim.pump();
    EXPECT_TRUE(sim.isApplicationHidden(p[0]));
    EXPECT_TRUE(sim.isApplicationHidden(p[2]));
    EXPECT_EQ(sim.focusedWindow(), windowOf(p[1]));
    EXPECT_FALSE(panel().isShown());
}

} // namespace
} // namespace velora
