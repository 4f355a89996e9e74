// The hot key object on its own: deferred firing.
#include "hot_key_center_fixture.h"
#include "platform/virtual_keys.h"

namespace velora {
namespace {

using test::SimTest;

TEST_F(SimTest, InvokeRunsTheActionFromAZeroIntervalTimerOnTheMainThread) {
    int runs = 0;
    SGHotKey hotKey("KeyCycleAppForward", SGKeyCombo::keyComboWithKeyCode(vk::Tab, kCommandKeyModifier),
                    [&runs] { ++runs; });
    hotKey.invoke();
    EXPECT_EQ(runs, 0);  // never inside the caller
    sim.pump();
    EXPECT_EQ(runs, 1);

    // The action in place when the hot key is invoked is the one that runs.
    hotKey.setAction([&runs] { runs += 10; });
    hotKey.invoke();
    hotKey.setAction(nullptr);
    sim.pump();
    EXPECT_EQ(runs, 11);
    hotKey.invoke();  // no action: nothing to run
    EXPECT_EQ(sim.pump(), 0);
}

} // namespace
} // namespace velora
