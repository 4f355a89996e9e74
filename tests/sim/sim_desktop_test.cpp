// The simulated desktop's own behaviour where the system's tests rely on it without checking
// it themselves: activation, the virtual clock's sleeps, hand-offs and timers, and the tap.
// Its accessibility views, hung applications and buttons are checked by the model's tests.
#include <atomic>
#include <thread>

#include "support/sim_fixture.h"

namespace velora {
namespace {

using test::SimTest;

TEST_F(SimTest, FocusActivatesAndHidingTheActiveApplicationHandsActivationOn) {
    auto [a, wa] = appWithWindow("org.example.a", "A");
    auto [b, wb] = appWithWindow("org.example.b", "B");
    sim.focusWindow(wa);
    sim.focusWindow(wb);
    EXPECT_EQ(workspace().processesInFrontToBackOrder(), (std::vector<pid_t>{b, a}));
    EXPECT_TRUE(workspace().runningApplicationWithProcessIdentifier(b)->isActive());
    workspace().runningApplicationWithProcessIdentifier(b)->hide();
    EXPECT_EQ(sim.activeApplication(), a);
}

TEST_F(SimTest, SleepsWaitForTheVirtualClockHandOffsForThePumpAndSleepsEndOnShutdown) {
    std::atomic<int> woke{0};
    std::atomic<bool> ranOnMain{false};
    std::thread t([&] {
        mainThread().performSync([&] { ranOnMain = mainThread().isMainThread(); });
        while (mainThread().sleepFor(0.2)) ++woke;
    });
    ASSERT_TRUE(sim.waitForSleepers(1));
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(woke, 0);
    sim.advance(0.2);
    ASSERT_TRUE(sim.pumpUntil([&] { return woke == 1 && sim.sleepers() == 1; }));
    sim.advance(0.1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(woke, 1);
    sim.shutdown();
    t.join();
}

TEST_F(SimTest, TimersFireInOrderWhenDue) {
    std::vector<int> order;
    mainThread().scheduleTimer(0.5, [&] { order.push_back(3); });
    mainThread().scheduleTimer(0, [&] { order.push_back(1); });
    mainThread().scheduleTimer(0, [&] { order.push_back(99); })->invalidate();
    mainThread().scheduleTimer(0, [&] { order.push_back(2); });
    sim.pump();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    sim.advance(0.5);
    sim.pump();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(SimTest, TapDecidesWhatReachesTheFocusedApplication) {
    auto [pid, w] = appWithWindow("org.example.a", "T");
    sim.focusWindow(w);
    EXPECT_EQ(sim.pressKey(12, 0), TapVerdict::Pass); // no tap: straight through
    auto tap = input().createEventTap([](const KeyEvent& e) {
        return e.charactersIgnoringModifiers == "q" ? TapVerdict::Swallow : TapVerdict::Pass;
    });
    std::thread t([&] { tap->run(); });
    ASSERT_TRUE(sim.waitForTap());
    EXPECT_EQ(sim.pressKey(12, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(sim.pressKey(13, kEventFlagCommand), TapVerdict::Pass);
    sim.changeModifiers(kEventFlagCommand | kEventFlagShift);
    EXPECT_EQ(input().currentModifierFlags(), kEventFlagCommand | kEventFlagShift);
    auto keys = sim.deliveredKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].event.charactersIgnoringModifiers, "w");
    EXPECT_EQ(keys[1].toPid, pid);
    sim.shutdown();
    t.join();
}

} // namespace
} // namespace velora
