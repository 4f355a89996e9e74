// Clients that stop answering or vanish while their window is being pictured: the switch
// still ends, the panel is emptied and hidden, no thread is left waiting, and the next switch
// works. (An application that ends during a quick switch is among the refused candidates of
// the cycle-order test; one killed at random during switches is the stress test's.)
#include <atomic>

#include "engine_fixture.h"

namespace velora {
namespace {

using ClientFaultsTest = test::EngineTest;

// V dies, stops answering or loses its window while it is being pictured during a shown switch;
// the panel goes on with the others, and moving over V's item, the release or cancelling in the
// middle of the grabs is harmless. An application stopped before a switch may be left out of it.
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
