// The engine behind the real hot key center on the simulated desktop's tap: the hot key
// starts a switch, the command keys are taken from the focused application during it and
// given back after, and the release reported by the center ends it.
#include "engine_fixture.h"

namespace velora {
namespace {

using test::EngineTest;

class HotKeyCenterEngineTest : public EngineTest {};

TEST_F(HotKeyCenterEngineTest, ASwitchThroughTheCenterTakesTheCommandKeysOnlyWhileItRuns) {
    auto [b, wb] = appWithWindow("B", "B");
    auto [a, wa] = appWithWindow("A", "A");
    sim.focusWindow(wb);
    sim.focusWindow(wa);
    start(true);
    ASSERT_TRUE(sim.waitForTap());
    SGHotKeyCenter& center = SGHotKeyCenter::sharedCenter();
    center.registerHotKey(std::make_shared<SGHotKey>("KeyCycleAppForward", SGKeyCombo(vk::Tab, 0x0800),
                                                     [this] { engine->KeyCycleAppForward(); }));

    // Outside a switch "q" reaches the application in front.
    sim.changeModifiers(kOption);
    EXPECT_EQ(sim.pressKey(vk::Q, kOption), TapVerdict::Pass);

    EXPECT_EQ(sim.pressKey(vk::Tab, kOption), TapVerdict::Swallow);
    ASSERT_TRUE(sim.pumpUntil([&] { return engine->shouldHandleKeys(); }));
    EXPECT_TRUE(center.hotKeyWithIdentifier("KeyUniversalBackward"));
    bool escapeTaken = false;
    for (const InterceptedKey& key : sim.interceptedKeys())
        if (key.keyCode == vk::Escape && key.anyModifiers) escapeTaken = true;
    EXPECT_TRUE(escapeTaken);

    while (engine->pollingThreadsRunning()) nextPoll();
    ASSERT_TRUE(panel().isShown());
    EXPECT_EQ(sim.pressKey(vk::H, kOption), TapVerdict::Swallow); // hides B, the selection...
    sim.pump();
    EXPECT_TRUE(sim.isApplicationHidden(b));
    EXPECT_EQ(selectedTitle(), "A"); // ...which moves on past its faded icon

    sim.changeModifiers(0); // the center starts endHandling on a thread of its own
    ASSERT_TRUE(sim.pumpUntil([&] { return !panel().isShown(); }));
    EXPECT_EQ(activations(a, "3"), 1);
    EXPECT_FALSE(center.hotKeyWithIdentifier("KeyUniversalBackward"));
    EXPECT_EQ(sim.pressKey(vk::Q, 0), TapVerdict::Pass);
    for (const InterceptedKey& key : sim.interceptedKeys()) EXPECT_FALSE(key.anyModifiers);

    int delivered = 0;
    for (const sim::DeliveredKey& key : sim.deliveredKeys()) delivered += key.event.keyCode == vk::Q;
    EXPECT_EQ(delivered, 2);
}

} // namespace
} // namespace velora
