// The display delay: when a release switches at once and when the panel comes up.
#include "engine_fixture.h"

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

TEST_F(DisplayDelayTest, TheThresholdIsTheDelayInPollsAndTheKeysMustBeHeldThroughIt) {
    threeApplications();
    VLHandler& engine = start();
    hold();
    press(&VLHandler::KeyCycleAppForward);
    for (int poll = 1; poll < 4; ++poll) {
        nextPoll();
        ASSERT_EQ(engine.pollingThreadsRunning(), 1);
        EXPECT_FALSE(panel().isShown());
    }
    nextPoll();
    EXPECT_EQ(engine.pollingThreadsRunning(), 0);
    EXPECT_TRUE(panel().isShown());
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
