// The engine behind the real hot key center on the simulated desktop's tap: the hot key
// starts a switch, the command keys are taken from the focused application during it and
// given back after, and the release reported by the center ends it.
#include "engine_fixture.h"

namespace velora {
namespace {

using HotKeyCenterEngineTest = test::EngineTest;

TEST_F(HotKeyCenterEngineTest, ASwitchThroughTheCenterTakesTheCommandKeysOnlyWhileItRuns) {
    const std::vector<pid_t> p = applications({"A", "B"});
    start(true);
    ASSERT_TRUE(sim.waitForTap());
    SGHotKeyCenter& center = SGHotKeyCenter::sharedCenter();
    center.registerHotKey(std::make_shared<SGHotKey>("KeyCycleAppForward", SGKeyCombo(vk::Tab, 0x0800),
                                                     [this] { engine->KeyCycleAppForward(); }));
    const int64_t commands[] = {vk::Q, vk::Escape, vk::Comma, vk::O};

    // Outside a switch the command keys reach the application in front, and nothing happens.
    sim.changeModifiers(kOption);
    sim.clearCalls();
    for (int64_t code : commands) EXPECT_EQ(sim.pressKey(code, kOption), TapVerdict::Pass) << code;
    sim.pump();
    EXPECT_EQ(sim.countCalls("activate") + sim.countCalls("terminate") + sim.countCalls("hide"), 0);

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
    EXPECT_TRUE(sim.isApplicationHidden(p[1]));
    EXPECT_EQ(selectedTitle(), "A"); // ...which moves on past its faded icon

    sim.changeModifiers(0); // the center starts endHandling on a thread of its own
    ASSERT_TRUE(sim.pumpUntil([&] { return !panel().isShown(); }));
    EXPECT_EQ(activations(p[0], "3"), 1);
    EXPECT_FALSE(center.hotKeyWithIdentifier("KeyUniversalBackward"));
    EXPECT_EQ(sim.pressKey(vk::Q, 0), TapVerdict::Pass);
    for (const InterceptedKey& key : sim.interceptedKeys()) EXPECT_FALSE(key.anyModifiers);

    int delivered = 0;
    for (const sim::DeliveredKey& key : sim.deliveredKeys()) delivered += key.event.keyCode == vk::Q;
    EXPECT_EQ(delivered, 2);
}

} // namespace
} // namespace velora
