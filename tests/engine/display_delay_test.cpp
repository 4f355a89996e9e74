// The display delay: when a release switches at once and when the panel comes up.
#include "engine_fixture.h"
#include "platform/platform.h"

namespace velora {
namespace {

using test::EngineTest;

class DisplayDelayTest : public EngineTest {
protected:
    // Applications A (in front), B and C, one window each.
    void threeApplications() {
        for (const char* name : {"C", "B", "A"}) {
            auto [pid, window] = appWithWindow(name, name);
            pids[name[0] - 'A'] = pid;
            sim.focusWindow(window);
        }
    }
    pid_t pids[3] = {};

    // The default delay is four polls: the panel stays down through three and comes up at
    // the fourth, when the polling thread ends.
    void pollThroughTheDelay(VLHandler& engine) {
        for (int poll = 1; poll < 4; ++poll) {
            nextPoll();
            ASSERT_EQ(engine.pollingThreadsRunning(), 1);
            EXPECT_FALSE(panel().isShown());
        }
        nextPoll();
        EXPECT_EQ(engine.pollingThreadsRunning(), 0);
        EXPECT_TRUE(panel().isShown());
    }
};

TEST_F(DisplayDelayTest, AReleaseAtPollsZeroToThreeSwitchesAtOnceAndAtPollFourShowsThePanel) {
    threeApplications();
    VLHandler& engine = start();
    for (int releasedAt = 0; releasedAt <= 4; ++releasedAt) {
        SCOPED_TRACE("released before poll " + std::to_string(releasedAt));
        sim.clearCalls();
        hold();
        if (releasedAt == 0) sim.setModifierFlags(0);
        press(&VLHandler::KeyCycleAppForward);
        for (int poll = 1; poll <= 4 && engine.pollingThreadsRunning(); ++poll) {
            if (poll == releasedAt) sim.setModifierFlags(0);
            nextPoll();
        }
        settle();
        if (releasedAt < 4) {
            EXPECT_EQ(window.orderFronts, 0);
            EXPECT_EQ(activations(pids[1], "3"), 1); // B, without the panel
        } else {
            // The panel came up, and the release it saw ended the switch on its selection.
            EXPECT_EQ(window.orderFronts, 1);
            EXPECT_EQ(activations(pids[1], "3"), 1);
            release(); // the center's report of the same release
            settle();
            EXPECT_EQ(activations(pids[1], "3"), 1);
        }
        EXPECT_FALSE(panel().isShown());
        EXPECT_TRUE(panel().browserData().empty());
        EXPECT_FALSE(engine.shouldHandleKeys());
        sim.focusWindow(sim.windowsOf(pids[0]).front()); // A in front again
    }
}

// The tap's report of the release (endHandling on a thread of its own) wakes the polling
// thread, which switches then and there instead of at its next poll; a wake-up without a
// release leaves the poll count, and so the moment the panel comes up, to the clock.
TEST_F(DisplayDelayTest, AReportedReleaseSwitchesBetweenPollsAndOtherWakeUpsChangeNothing) {
    threeApplications();
    VLHandler& engine = start();
    {
        SCOPED_TRACE("a release between polls");
        hold();
        press(&VLHandler::KeyCycleAppForward);
        nextPoll();
        const double asleepAt = sim.now();
        release();
        ASSERT_TRUE(sim.pumpUntil([&] { return engine.pollingThreadsRunning() == 0; }));
        EXPECT_EQ(sim.now(), asleepAt); // no poll interval had to pass
        settle();
        EXPECT_EQ(window.orderFronts, 0);
        EXPECT_EQ(activations(pids[1], "3"), 1);
        EXPECT_FALSE(panel().isShown());
    }
    sim.focusWindow(sim.windowsOf(pids[0]).front());
    {
        SCOPED_TRACE("wake-ups with the keys held");
        hold();
        press(&VLHandler::KeyCycleAppForward);
        for (int wake = 0; wake < 5; ++wake) {
            const uint64_t reads = sim.modifierFlagReads();
            mainThread().wakeSleepers();
            ASSERT_TRUE(pollerWaits(reads + 1)); // looked again, and sleeps on
        }
        pollThroughTheDelay(engine);
        release();
        settle();
        EXPECT_FALSE(panel().isShown());
    }
}

TEST_F(DisplayDelayTest, TheThresholdIsTheDelayInPollsAndTheKeysMustBeHeldThroughIt) {
    threeApplications();
    VLHandler& engine = start();
    hold();
    press(&VLHandler::KeyCycleAppForward);
    pollThroughTheDelay(engine);
    EXPECT_EQ(sim.modifierFlagReads(), 6u); // five polls, and one look once the panel is up
}

TEST_F(DisplayDelayTest, WithNoDelayThePanelAlwaysComesUpAndTheReleaseActivatesItsSelection) {
    threeApplications();
    VLSettings::shared().displayDelay = 0;
    VLHandler& engine = start();
    hold();
    engine.KeyCycleAppForward();
    ASSERT_TRUE(sim.pumpUntil([&] { return engine.pollingThreadsRunning() == 0; }));
    EXPECT_TRUE(panel().isShown());
    release();
    settle();
    EXPECT_EQ(activations(pids[1], "3"), 1);
    EXPECT_FALSE(panel().isShown());

    // Released before the first poll, and the release's end already came and went.
    sim.focusWindow(sim.windowsOf(pids[0]).front());
    release();
    joinReleases();
    sim.pump();
    engine.KeyCycleAppForward();
    ASSERT_TRUE(sim.pumpUntil([&] { return engine.pollingThreadsRunning() == 0 && !panel().isShown(); }));
    EXPECT_EQ(window.orderFronts, 2); // it came up all the same...
    EXPECT_EQ(activations(pids[1], "3"), 2); // ...and its selection was activated once
}

TEST_F(DisplayDelayTest, CapsLockNeverReadsAsReleasedSoThePanelComesUpAndTheReleaseEndsIt) {
    threeApplications();
    VLHandler& engine = start();
    hold(kOption | kEventFlagAlphaShift);
    press(&VLHandler::KeyCycleAppForward);
    sim.setModifierFlags(kEventFlagAlphaShift); // Option let go at once, Caps Lock stays on
    for (int poll = 1; poll <= 4; ++poll) nextPoll();
    EXPECT_EQ(engine.pollingThreadsRunning(), 0);
    EXPECT_EQ(window.orderFronts, 1); // no quick switch: the panel came up
    release(kEventFlagAlphaShift);    // the center reports the tracked modifiers' release
    settle();
    EXPECT_EQ(activations(pids[1], "3"), 1);
    EXPECT_FALSE(panel().isShown());
}

TEST_F(DisplayDelayTest, EndAndCancelWhileNothingIsShownChangeNothing) {
    threeApplications();
    VLHandler& engine = start();
    release();
    settle();
    engine.cancelHandling();
    sim.pump();
    EXPECT_EQ(sim.countCalls("activate"), 0);
    EXPECT_EQ(window.orderOuts, 0);
}

} // namespace
} // namespace velora
