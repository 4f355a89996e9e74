// The simulated desktop's virtual clock, where the system's tests rely on it without checking
// it themselves: sleeps, hand-offs and timers. Its focus order, tap, accessibility views, hung
// applications and buttons are checked through the model's and the engine's tests.
#include <atomic>
#include <thread>

#include "support/sim_fixture.h"

namespace velora {
namespace {

using test::SimTest;

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

} // namespace
} // namespace velora
