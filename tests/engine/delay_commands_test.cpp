// Commands pressed during the display delay, while the polling thread holds the session lock
// and will wait for the main thread to show the panel: the main thread must never wait for
// that lock, and the switch still ends in exactly one activation, cancel or command.
#include "engine_fixture.h"

namespace velora {
namespace {

using test::EngineTest;

class DelayCommandsTest : public EngineTest {
protected:
    void SetUp() override {
        sim::ApplicationSpec options;
        options.bundleIdentifier = options.name = "B";
        options.bundlePath = "/opt/B";
        b = sim.addApplication(options);
        sim::WindowSpec titled;
        titled.title = "B";
        wb = sim.addWindow(b, titled);
        std::tie(a, wa) = appWithWindow("A", "A");
        sim.focusWindow(wb);
        sim.focusWindow(wa);
        start();
        hold();
        press(&VLHandler::KeyCycleAppForward);
        ASSERT_EQ(engine->pollingThreadsRunning(), 1);
    }
    // The key reaches the main thread while the polling thread holds the lock. The main
    // thread comes back from it at once: pump() returning is the proof.
    void pressDuringDelay(int64_t code) {
        ASSERT_TRUE(key(code));
        sim.pump();
        EXPECT_FALSE(panel().isShown());
    }
    void holdThroughDelay() {
        while (engine->pollingThreadsRunning()) nextPoll();
        sim.pump(); // the command's retry, handed back when the lock was let go
    }
    pid_t a = 0, b = 0;
    uint32_t wa = 0, wb = 0;
};

TEST_F(DelayCommandsTest, EscapeWaitsForThePanelAndThenCancels) {
    pressDuringDelay(vk::Escape);
    holdThroughDelay();
    EXPECT_FALSE(panel().isShown());
    EXPECT_EQ(activations(a, "2"), 1);
    release();
    settle();
    EXPECT_EQ(activations(b, "3"), 0);
    EXPECT_EQ(sim.countCalls("activate"), 1);
}

TEST_F(DelayCommandsTest, EscapeThenAQuickReleaseSwitchesAndTheEscapeFindsNothingToCancel) {
    pressDuringDelay(vk::Escape);
    release();
    nextPoll();
    settle();
    EXPECT_EQ(activations(b, "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);
    EXPECT_TRUE(panel().browserData().empty());
}

TEST_F(DelayCommandsTest, CommaOpensThePreferencesOnceThePanelIsUp) {
    pressDuringDelay(vk::Comma);
    EXPECT_EQ(delegate.preferences.load(), 0);
    holdThroughDelay();
    EXPECT_EQ(delegate.preferences.load(), 1);
    EXPECT_FALSE(panel().isShown());
    release();
    settle();
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(DelayCommandsTest, CommaThenAQuickReleaseOnlySwitches) {
    pressDuringDelay(vk::Comma);
    release();
    nextPoll();
    settle();
    EXPECT_EQ(delegate.preferences.load(), 0);
    EXPECT_EQ(activations(b, "3"), 1);
}

TEST_F(DelayCommandsTest, RevealActsOnceThePanelIsUp) {
    pressDuringDelay(vk::R);
    holdThroughDelay();
    EXPECT_EQ(sim.countCalls("reveal"), 1);
    EXPECT_FALSE(panel().isShown());
    release();
    settle();
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(DelayCommandsTest, HideOthersHidesAtOnceAndEndsOnTheSelectionOnce) {
    pressDuringDelay(vk::O);
    EXPECT_TRUE(sim.isApplicationHidden(a)); // at once
    holdThroughDelay();
    EXPECT_FALSE(panel().isShown());
    EXPECT_EQ(activations(b, "3"), 1);
    release();
    settle();
    EXPECT_EQ(sim.countCalls("activate"), 1);
}

TEST_F(DelayCommandsTest, ItemCommandsActOnTheHiddenPanelsSelection) {
    pressDuringDelay(vk::H);
    EXPECT_TRUE(sim.isApplicationHidden(b));
    EXPECT_TRUE(panel().browserData()[1]->isTransparent());
    release();
    nextPoll();
    settle();
    EXPECT_EQ(sim.countCalls("activate"), 1); // the quick switch still happens, once
}

} // namespace
} // namespace velora
