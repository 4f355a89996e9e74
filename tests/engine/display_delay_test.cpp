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
    void bringAForward() { sim.focusWindow(windowOf(p[0])); }
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
        EXPECT_FALSE(panel().isShown());
        EXPECT_TRUE(panel().browserData().empty());
        EXPECT_FALSE(engine->shouldHandleKeys());
        window.onOrderOut = nullptr;
        bringAForward();
    }
}

// The tap's report of the release (endHandling on a thread of its own) wakes the polling
// thread, which switches then and there instead of at its next poll; a wake-up without a
// release leaves the poll count, and so the moment the panel comes up, to the clock.
TEST_F(DisplayDelayTest, AReportedReleaseSwitchesBetweenPollsAndOtherWakeUpsChangeNothing) {
    {
        SCOPED_TRACE("a release between polls");
        hold();
        press(&VLHandler::KeyCycleAppForward);
        nextPoll();
        const double asleepAt = sim.now();
        release();
        ASSERT_TRUE(sim.pumpUntil([&] { return engine->pollingThreadsRunning() == 0; }));
        EXPECT_EQ(sim.now(), asleepAt); // no poll interval had to pass
        settle();
        EXPECT_EQ(window.orderFronts, 0);
        EXPECT_EQ(activations(p[1], "3"), 1);
        EXPECT_FALSE(panel().isShown());
    }
    bringAForward();
    {
        SCOPED_TRACE("wake-ups with the keys held");
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

// Pixels are read only for a panel that will show: a quick switch reads none; a hold reads
// every window once it has lasted long enough (before the panel is up). (That a later hold
// reads only the windows that redrew since is the picture cache's test.)
TEST_F(DisplayDelayTest, OnlyAHoldThatWillShowThePanelReadsPixels) {
    quickSwitch(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(sim.countCalls("capture"), 0);
    bringAForward();

    hold();
    press(&VLHandler::KeyCycleWindowForward);
    nextPoll();
    sim.pump();
    EXPECT_EQ(sim.countCalls("capture"), 0);
    nextPoll();
    sim.pump();
    engine->queue().waitUntilAllOperationsAreFinished();
    EXPECT_EQ(sim.countCalls("capture"), 3);
    EXPECT_EQ(window.orderFronts, 0);
    while (engine->pollingThreadsRunning())
        nextPoll();
    ASSERT_TRUE(panel().isShown());
    for (const auto& item : panel().browserData())
        EXPECT_TRUE(item->image()) << "in the first frame";
    release();
    settle();
}

} // namespace
} // namespace velora
