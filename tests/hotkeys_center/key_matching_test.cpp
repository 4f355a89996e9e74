// Which key events fire which hot keys, and which key events the tap swallows.
#include "hot_key_center_fixture.h"
#include "platform/virtual_keys.h"

namespace velora {
namespace {

using test::HotKeyCenterTest;

TEST_F(HotKeyCenterTest, HeldModifiersMustEqualTheCombinationExactly) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    registerHotKey("CommandShiftTab", vk::Tab, kCommandKeyModifier | kShiftKeyModifier);

    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(firings("CommandTab"), 1);
    EXPECT_EQ(firings("CommandShiftTab"), 0);

    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand | kEventFlagShift), TapVerdict::Swallow);
    EXPECT_EQ(firings("CommandTab"), 1);
    EXPECT_EQ(firings("CommandShiftTab"), 1);

    // More modifiers than the combination, or fewer: no hot key; the delegate gets the key.
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand | kEventFlagOption), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, 0), TapVerdict::Pass);
    EXPECT_EQ(firings("CommandTab"), 1);
    EXPECT_EQ(delegate.offered().size(), 2u);
    EXPECT_EQ(deliveredCount(), 2u);
}

TEST_F(HotKeyCenterTest, CapsLockFnNumericPadAndDeviceBitsDoNotMatter) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    for (uint64_t extra : {kEventFlagAlphaShift, kEventFlagFunction, kEventFlagNumericPad | kEventFlagHelp,
                           uint64_t{0x8}})
        EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand | extra), TapVerdict::Swallow) << extra;
    EXPECT_EQ(firings("CommandTab"), 4);
    // Only the key code's low 16 bits count.
    EXPECT_EQ(sim.pressKey(0x10000 + vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(firings("CommandTab"), 5);
}

TEST_F(HotKeyCenterTest, BareKeyFiresOnlyWithNoTrackedModifierHeld) {
    registerHotKey("F5", vk::F5, 0);
    EXPECT_EQ(sim.pressKey(vk::F5, 0), TapVerdict::Swallow);
    EXPECT_EQ(sim.pressKey(vk::F5, kEventFlagAlphaShift), TapVerdict::Swallow);
    EXPECT_EQ(firings("F5"), 2);
    EXPECT_EQ(sim.pressKey(vk::F5, kEventFlagShift), TapVerdict::Pass);
    EXPECT_EQ(firings("F5"), 2);
}

TEST_F(HotKeyCenterTest, ActionRunsOnTheMainThreadAfterTheCallback) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    sim.pressKey(vk::Tab, kEventFlagCommand);
    sim.pressKey(vk::Tab, kEventFlagCommand);
    // Nothing ran inside the tap callback: both firings wait for the main thread's turn.
    EXPECT_EQ(firedSoFar("CommandTab"), 0);
    EXPECT_EQ(firings("CommandTab"), 2);
}

TEST_F(HotKeyCenterTest, UniversalBackwardFiresWithAnyModifiersWhileRegistered) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    SGHotKeyRef backward = registerHotKey("KeyUniversalBackward", vk::Grave, kShiftKeyModifier);

    for (uint64_t flags : {uint64_t{0}, kEventFlagShift, kEventFlagCommand | kEventFlagOption,
                           kEventFlagCommand | kEventFlagControl | kEventFlagShift})
        EXPECT_EQ(sim.pressKey(vk::Grave, flags), TapVerdict::Swallow) << flags;
    EXPECT_EQ(firings("KeyUniversalBackward"), 4);
    // Its key-up is swallowed whatever is held, too.
    EXPECT_EQ(sim.releaseKey(vk::Grave, kEventFlagCommand), TapVerdict::Swallow);
    // Other hot keys still need their exact modifiers.
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand | kEventFlagShift), TapVerdict::Pass);

    center().unregisterHotKey(backward);
    EXPECT_EQ(sim.pressKey(vk::Grave, kEventFlagShift), TapVerdict::Pass);
    EXPECT_EQ(firings("KeyUniversalBackward"), 4);
    EXPECT_EQ(delegate.offered().size(), 2u);
}

TEST_F(HotKeyCenterTest, HotKeyUpIsSwallowedOtherKeyUpsPassUnoffered) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    delegate.answer = true;  // would swallow anything it were offered

    EXPECT_EQ(sim.releaseKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(sim.releaseKey(vk::Tab, kEventFlagCommand | kEventFlagShift), TapVerdict::Pass);
    EXPECT_EQ(sim.releaseKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.releaseKey(vk::Tab, 0), TapVerdict::Pass);

    EXPECT_TRUE(delegate.offered().empty());
    auto delivered = sim.deliveredKeys();
    ASSERT_EQ(delivered.size(), 3u);
    for (const auto& key : delivered) EXPECT_EQ(key.event.type, KeyEventType::KeyUp);
    // A key-up never fires.
    EXPECT_EQ(firings("CommandTab"), 0);
}

} // namespace
} // namespace velora
