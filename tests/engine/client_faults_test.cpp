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

TEST_F(ClientFaultsTest, AnApplicationKilledDuringAQuickSwitch) {
    hold();
    press(&VLHandler::KeyCycleAppForward);
    sim.terminateApplication(b); // the candidate the release would pick
    endSwitch();
    for (const auto& call : sim.calls())
        EXPECT_FALSE(call.kind == "activate" && call.pid == b) << "activated an ended application";
    expectNextSwitchWorks();
}

// V dies, stops answering or loses its window while it is being pictured during a shown switch;
// the panel goes on with the others, and moving over V's item, the release or cancelling in the
// middle of the grabs is harmless. An application stopped before a switch may be left out of it.
TEST_F(ClientFaultsTest, AnApplicationFailsWhileItsWindowIsPicturedOrBeforeASwitch) {
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
        endSwitch();
        sim.setCaptureHook({});
        sim.setApplicationHung(victim, false);
        expectNextSwitchWorks();
    }
    sim.setApplicationHung(c, true);
    expectNextSwitchWorks();
}

} // namespace
} // namespace velora
