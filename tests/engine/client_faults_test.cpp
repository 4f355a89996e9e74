// Clients that stop answering or vanish while a switch is under way or while their window is
// being pictured: the switch still ends, the panel is emptied and hidden, no thread is left
// waiting, and the next switch works.
#include <atomic>

#include "engine_fixture.h"

namespace velora {
namespace {

class ClientFaultsTest : public test::EngineTest {
protected:
    // A in front, then B, then C; the engine started.
    void SetUp() override {
        const std::vector<pid_t> p = applications({"A", "B", "C"});
        b = p[1];
        c = p[2];
        start();
    }
    void endSwitch() {
        release();
        settle();
        expectSwitchOver();
    }
    // A quick switch through all windows, without faults now, activates some application.
    void expectNextSwitchWorks() {
        sim.setCaptureHook({});
        sim.clearCalls();
        quickSwitch(&VLHandler::KeyCycleWindowForward);
        expectSwitchOver();
        EXPECT_GE(sim.countCalls("activate"), 1);
    }
    pid_t b = 0, c = 0;
};

TEST_F(ClientFaultsTest, AnApplicationThatStopsDuringAShownSwitch) {
    show(&VLHandler::KeyCycleWindowForward);
    sim.setApplicationHung(b, true);
    for (int i = 0; i < 4; ++i) engine->KeyCycleWindowForward();
    engine->KeyUniversalBackward();
    endSwitch();
    expectNextSwitchWorks();

    // Stopped before the switch starts: its window may be left out, the switch goes on.
    sim.setApplicationHung(c, true);
    expectNextSwitchWorks();
}

TEST_F(ClientFaultsTest, AnApplicationKilledDuringAQuickSwitch) {
    hold();
    press(&VLHandler::KeyCycleWindowForward);
    sim.terminateApplication(b); // the candidate the release would pick
    endSwitch();
    for (const auto& call : sim.calls()) EXPECT_FALSE(call.kind == "activate" && call.pid == b) << "activated an ended application";
    expectNextSwitchWorks();
}

TEST_F(ClientFaultsTest, AnApplicationKilledWhileItsWindowIsPictured) {
    const uint32_t wb = windowOf(b);
    std::atomic<bool> killed{false};
    sim.setCaptureHook([&](uint32_t w) {
        if (w == wb && !killed.exchange(true)) sim.terminateApplication(b);
    });
    show(&VLHandler::KeyCycleWindowForward);
    engine->queue().waitUntilAllOperationsAreFinished();
    sim.pump();
    EXPECT_TRUE(killed.load());
    // The panel goes on with the others; moving over the dead item is harmless.
    for (int i = 0; i < 3; ++i) engine->KeyCycleWindowForward();
    endSwitch();
    expectNextSwitchWorks();
}

TEST_F(ClientFaultsTest, AnApplicationThatStopsOrLosesItsWindowWhilePictured) {
    const uint32_t wb = windowOf(b), wc = windowOf(c);
    std::atomic<int> faults{0};
    sim.setCaptureHook([&](uint32_t w) {
        if (w == wb) sim.setApplicationHung(b, true);
        if (w == wc) sim.destroyWindow(wc);
        if (w == wb || w == wc) faults.fetch_add(1);
    });
    show(&VLHandler::KeyCycleWindowForward);
    engine->KeyCycleWindowForward();
    EXPECT_TRUE(key(vk::Escape)); // in the middle of the grabs
    endSwitch();
    EXPECT_GE(faults.load(), 1);
    sim.setCaptureHook({});
    sim.setApplicationHung(b, false);
    expectNextSwitchWorks();
}

} // namespace
} // namespace velora
