// Clients that stop answering or vanish while a switch is under way or while their window is
// being pictured: the switch still ends, the panel is emptied and hidden, no thread is left
// waiting, and the next switch works.
#include <atomic>

#include "engine_fixture.h"

namespace velora {
namespace {

using test::EngineTest;

class ClientFaultsTest : public EngineTest {
protected:
    // A in front, then B, then C, one window each.
    void threeApplications() {
        std::tie(c, wc) = appWithWindow("C", "C");
        std::tie(b, wb) = appWithWindow("B", "B");
        std::tie(a, wa) = appWithWindow("A", "A");
        sim.focusWindow(wc);
        sim.focusWindow(wb);
        sim.focusWindow(wa);
    }
    void showSwitch(void (VLHandler::*action)()) {
        hold();
        press(action);
        while (engine->pollingThreadsRunning()) nextPoll();
        ASSERT_TRUE(panel().isShown());
    }
    // The switch is over and left nothing behind.
    void expectSwitchOver() {
        engine->queue().waitUntilAllOperationsAreFinished();
        sim.pump();
        EXPECT_FALSE(panel().isShown());
        EXPECT_TRUE(panel().browserData().empty());
        EXPECT_FALSE(engine->shouldHandleKeys());
        EXPECT_EQ(engine->pollingThreadsRunning(), 0);
        EXPECT_TRUE(link.takenKeys().empty()) << "command keys still taken";
        EXPECT_FALSE(link.isRegistered(delegate.backward)) << "the temporary key is still registered";
    }
    // A quick switch forward through all windows activates some application.
    void expectQuickSwitchWorks() {
        sim.clearCalls();
        hold();
        press(&VLHandler::KeyCycleWindowForward);
        release();
        settle();
        expectSwitchOver();
        EXPECT_GE(sim.countCalls("activate"), 1);
    }

    pid_t a = 0, b = 0, c = 0;
    uint32_t wa = 0, wb = 0, wc = 0;
};

TEST_F(ClientFaultsTest, AnApplicationThatStopsDuringAShownSwitch) {
    threeApplications();
    start();
    showSwitch(&VLHandler::KeyCycleWindowForward);
    sim.setApplicationHung(b, true);
    for (int i = 0; i < 4; ++i) engine->KeyCycleWindowForward();
    engine->KeyUniversalBackward();
    release();
    settle();
    expectSwitchOver();
    expectQuickSwitchWorks();

    // Stopped before the switch starts: its window may be left out, the switch goes on.
    sim.setApplicationHung(c, true);
    expectQuickSwitchWorks();
}

TEST_F(ClientFaultsTest, AnApplicationKilledDuringAQuickSwitch) {
    threeApplications();
    start();
    hold();
    press(&VLHandler::KeyCycleWindowForward);
    sim.terminateApplication(b); // the candidate the release would pick
    release();
    settle();
    expectSwitchOver();
    for (const auto& call : sim.calls()) {
        if (call.kind == "activate") {
            EXPECT_NE(call.pid, b) << "activated an application that has ended";
        }
    }
    expectQuickSwitchWorks();
}

TEST_F(ClientFaultsTest, AnApplicationKilledWhileItsWindowIsPictured) {
    threeApplications();
    start();
    std::atomic<bool> killed{false};
    sim.setCaptureHook([&](uint32_t window) {
        if (window == wb && !killed.exchange(true)) sim.terminateApplication(b);
    });
    showSwitch(&VLHandler::KeyCycleWindowForward);
    engine->queue().waitUntilAllOperationsAreFinished();
    sim.pump();
    EXPECT_TRUE(killed.load());
    // The panel goes on with the others; moving over the dead item is harmless.
    for (int i = 0; i < 3; ++i) engine->KeyCycleWindowForward();
    release();
    settle();
    expectSwitchOver();
    sim.setCaptureHook({});
    expectQuickSwitchWorks();
}

TEST_F(ClientFaultsTest, AnApplicationThatStopsOrLosesItsWindowWhilePictured) {
    threeApplications();
    start();
    std::atomic<int> faults{0};
    sim.setCaptureHook([&](uint32_t window) {
        if (window == wb) {
            sim.setApplicationHung(b, true);
            faults.fetch_add(1);
        }
        if (window == wc) {
            sim.destroyWindow(wc);
            faults.fetch_add(1);
        }
    });
    showSwitch(&VLHandler::KeyCycleWindowForward);
    engine->KeyCycleWindowForward();
    // Escape in the middle of the grabs.
    EXPECT_TRUE(key(vk::Escape));
    release();
    settle();
    expectSwitchOver();
    EXPECT_GE(faults.load(), 1);
    sim.setCaptureHook({});
    sim.setApplicationHung(b, false);
    expectQuickSwitchWorks();
}

} // namespace
} // namespace velora
