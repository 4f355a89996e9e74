// Which key events fire which hot keys, the registry, and the keys the tap is told to take.
#include <gmock/gmock.h>

#include <map>

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

TEST_F(HotKeyCenterTest, KeysFireAHotKeyWhenTheHeldModifiersEqualItsCombination) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    registerHotKey("CommandShiftTab", vk::Tab, kCommandKeyModifier | kShiftKeyModifier);
    SGHotKeyRef backward = registerHotKey("KeyUniversalBackward", vk::Grave, kShiftKeyModifier);
    const uint64_t command = kEventFlagCommand;
    const TapVerdict swallow = TapVerdict::Swallow, pass = TapVerdict::Pass;
    const struct {
        int64_t key;
        uint64_t flags;
        bool up;
        TapVerdict verdict;
        const char* fires;
    } keys[] = {
        {vk::Tab, command, false, swallow, "CommandTab"},
        {vk::Tab, command | kEventFlagShift, false, swallow, "CommandShiftTab"},
        {vk::Tab, command | kEventFlagOption, false, pass, nullptr}, // more modifiers than the combination
        {vk::Tab, 0, false, pass, nullptr},                          // fewer
        // Flags that are no held modifier (Caps Lock here) and the key code's high bits do not count.
        {vk::Tab, command | kEventFlagAlphaShift, false, swallow, "CommandTab"},
        {0x10000 + vk::Tab, command, false, swallow, "CommandTab"},
        // The backward key fires with any modifiers.
        {vk::Grave, command | kEventFlagControl, false, swallow, "KeyUniversalBackward"},
        // A hot key's key-up is swallowed and fires nothing; other key-ups pass, never offered.
        {vk::Grave, command, true, swallow, nullptr},
        {vk::Tab, command, true, swallow, nullptr},
        {vk::Tab, command | kEventFlagOption, true, pass, nullptr},
    };
    std::map<std::string, int> fired = {
        {"CommandTab", 0}, {"CommandShiftTab", 0}, {"KeyUniversalBackward", 0}};
    for (const auto& k : keys) {
        SCOPED_TRACE(testing::Message() << k.key << (k.up ? " up 0x" : " down 0x") << std::hex << k.flags);
        EXPECT_EQ(k.up ? sim.releaseKey(k.key, k.flags) : sim.pressKey(k.key, k.flags), k.verdict);
        // Not fired yet inside the tap callback: on the main thread, once it runs.
        if (k.fires) {
            EXPECT_EQ(firedSoFar(k.fires), fired[k.fires]++);
        }
        for (const auto& [name, count] : fired)
            EXPECT_EQ(firings(name), count) << name;
    }
    EXPECT_EQ(delegate.offered().size(), 2u); // the two key-downs that fired nothing
    EXPECT_EQ(sim.deliveredKeys().size(), 3u);

    center().unregisterHotKey(backward);
    EXPECT_EQ(sim.pressKey(vk::Grave, kEventFlagShift), TapVerdict::Pass);
}

// A hot key is registered once however often it is registered; registered again with an
// invalid combination it is removed, and nothing invalid is kept.
TEST_F(HotKeyCenterTest, AHotKeyIsRegisteredOnceAndAnInvalidCombinationRemovesIt) {
    SGHotKeyRef hotKey = registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_EQ(center().allHotKeys().size(), 1u); // once by identity
    hotKey->setKeyCombo(SGKeyCombo::keyComboWithKeyCode(-1, 0));
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_TRUE(center().registerHotKey(nullptr));
    EXPECT_TRUE(
        center().registerHotKey(std::make_shared<SGHotKey>("NegativeModifiers", SGKeyCombo(vk::Tab, -1))));
    EXPECT_THAT(center().allHotKeys(), IsEmpty());
    EXPECT_THAT(sim.interceptedKeys(), IsEmpty());
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
}

// The tap takes the registered combinations, and during a switch the backward key and the
// command keys whatever is held; after the switch they are let go. (The replacement of the
// hot keys when the settings change is the app suite's.)
TEST_F(HotKeyCenterTest, InterceptedKeysFollowRegistrationsAndCommandKeys) {
    registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    const InterceptedKey commandTab{vk::Tab, kEventFlagCommand, false};
    EXPECT_THAT(sim.interceptedKeys(), UnorderedElementsAre(commandTab));

    SGHotKeyRef backward = registerHotKey("KeyUniversalBackward", vk::Grave, kShiftKeyModifier);
    center().setCommandKeys({vk::Q, vk::Escape});
    EXPECT_THAT(sim.interceptedKeys(),
                UnorderedElementsAre(commandTab, InterceptedKey{vk::Grave, 0, true},
                                     InterceptedKey{vk::Q, 0, true}, InterceptedKey{vk::Escape, 0, true}));
    center().setCommandKeys({});
    center().unregisterHotKey(backward);
    EXPECT_THAT(sim.interceptedKeys(), UnorderedElementsAre(commandTab));
}

} // namespace
} // namespace velora
