// The display delay: when a release switches at once and when the panel comes up.
#include "engine_fixture.h"
#include "platform/platform.h"

namespace velora {
namespace {

class DisplayDelayTest : public test::EngineTest {
  protected:
    // Applications A (in front), B and C, one window each; the engine started.
    void SetUp() override {
        p = applications({"A", "B", "C"});
        start();
    }
    std::vector<pid_t> p;
};

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

} // namespace
} // namespace velora
