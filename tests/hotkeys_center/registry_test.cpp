// The registry: identity, refusal of invalid combinations, and the keys the tap is told to take.
#include <gmock/gmock.h>

#include "hot_key_center_fixture.h"
#include "platform/virtual_keys.h"

namespace velora {

void PrintTo(const InterceptedKey& key, std::ostream* os) {
    *os << "{" << key.keyCode << ", 0x" << std::hex << key.modifiers << std::dec
        << (key.anyModifiers ? ", any}" : "}");
}

namespace {

using test::HotKeyCenterTest;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

TEST_F(HotKeyCenterTest, HotKeysAreRegisteredOnceByIdentity) {
    SGHotKeyRef hotKey = makeHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_EQ(center().allHotKeys(), std::vector<SGHotKeyRef>{hotKey});
    EXPECT_EQ(center().hotKeyWithIdentifier("KeyCycleAppForward"), hotKey);
    EXPECT_EQ(center().hotKeyWithIdentifier("KeyCycleAppBackward"), nullptr);

    // An equal but distinct hot key is another entry.
    SGHotKeyRef twin = registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(center().allHotKeys().size(), 2u);
    center().unregisterHotKey(twin);
    center().unregisterHotKey(twin);  // not registered any more: nothing changes
    EXPECT_EQ(center().allHotKeys(), std::vector<SGHotKeyRef>{hotKey});

    sim.pressKey(vk::Tab, kEventFlagCommand);
    EXPECT_EQ(firings("KeyCycleAppForward"), 1);
}

TEST_F(HotKeyCenterTest, InvalidCombinationsAreRefusedAndRemoveAnEarlierEntry) {
    SGHotKeyRef hotKey = registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    hotKey->setKeyCombo(SGKeyCombo::keyComboWithKeyCode(-1, 0));
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_THAT(center().allHotKeys(), IsEmpty());
    EXPECT_THAT(sim.interceptedKeys(), IsEmpty());
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(firings("KeyCycleAppForward"), 0);

    EXPECT_TRUE(center().registerHotKey(nullptr));
    EXPECT_TRUE(center().registerHotKey(std::make_shared<SGHotKey>()));  // the clear combination
    EXPECT_TRUE(center().registerHotKey(makeHotKey("NegativeModifiers", vk::Tab, -1)));
    EXPECT_THAT(center().allHotKeys(), IsEmpty());
    center().unregisterHotKey(nullptr);
}

TEST_F(HotKeyCenterTest, InterceptedKeysFollowRegistrationsAndCommandKeys) {
    EXPECT_THAT(sim.interceptedKeys(), IsEmpty());
    SGHotKeyRef appForward = registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    SGHotKeyRef windowBackward =
        registerHotKey("KeyCycleAppWindowBackward", vk::Grave, kOptionKeyModifier | kShiftKeyModifier);
    const InterceptedKey commandTab{vk::Tab, kEventFlagCommand, false};
    const InterceptedKey optionShiftGrave{vk::Grave, kEventFlagOption | kEventFlagShift, false};
    EXPECT_THAT(sim.interceptedKeys(), UnorderedElementsAre(commandTab, optionShiftGrave));

    // During a switch: the backward key and the command keys, whatever is held.
    SGHotKeyRef backward = registerHotKey("KeyUniversalBackward", vk::Grave, kShiftKeyModifier);
    center().setCommandKeys({vk::Q, vk::Escape});
    EXPECT_THAT(sim.interceptedKeys(),
                UnorderedElementsAre(commandTab, optionShiftGrave, InterceptedKey{vk::Grave, 0, true},
                                     InterceptedKey{vk::Q, 0, true}, InterceptedKey{vk::Escape, 0, true}));

    center().setCommandKeys({});
    center().unregisterHotKey(backward);
    EXPECT_THAT(sim.interceptedKeys(), UnorderedElementsAre(commandTab, optionShiftGrave));

    // A changed combination reaches the tap when the hot key is registered again.
    appForward->setKeyCombo(SGKeyCombo::keyComboWithKeyCode(vk::Tab, kOptionKeyModifier));
    center().registerHotKey(appForward);
    EXPECT_THAT(sim.interceptedKeys(),
                UnorderedElementsAre(InterceptedKey{vk::Tab, kEventFlagOption, false}, optionShiftGrave));

    center().unregisterHotKey(appForward);
    center().unregisterHotKey(windowBackward);
    EXPECT_THAT(sim.interceptedKeys(), IsEmpty());
}

} // namespace
} // namespace velora
