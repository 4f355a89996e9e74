// What the delegate is offered, the tap's life (disabled, missing), and the registry changing
// while keys arrive on the tap thread.
#include "hot_key_center_fixture.h"
#include "platform/virtual_keys.h"

namespace velora {
namespace {

using test::HotKeyCenterTest;
using test::RecordingDelegate;

TEST_F(HotKeyCenterTest, KeyDownIsSwallowedExactlyWhenTheDelegateSaysSo) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    delegate.answer = true;
    EXPECT_EQ(sim.pressKey(vk::S, kEventFlagCommand | kEventFlagAlphaShift), TapVerdict::Swallow);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);  // a hot key: not offered

    auto offered = delegate.offered();
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].keyCode, vk::A);
    EXPECT_EQ(offered[0].charactersIgnoringModifiers, "a");
    EXPECT_EQ(offered[1].keyCode, vk::S);
    EXPECT_EQ(offered[1].flags, kEventFlagCommand | kEventFlagAlphaShift);  // the event as it came
    for (std::thread::id thread : delegate.offeredThreads()) EXPECT_NE(thread, std::this_thread::get_id());
    auto delivered = sim.deliveredKeys();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].event.keyCode, vk::A);
}

TEST_F(HotKeyCenterTest, WithoutADelegateKeysPassAndReleasesGoUnreported) {
    center().setDelegate(nullptr);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    sim.changeModifiers(0);
    center().setDelegate(&delegate);
    sim.changeModifiers(0);
    finish();
    EXPECT_TRUE(delegate.offered().empty());
    EXPECT_EQ(delegate.ends.load(), 1);
}

TEST_F(HotKeyCenterTest, ADisabledTapIsEnabledAgainEvenWhileRecording) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(sim.disableTap(KeyEventType::TapDisabledByTimeout), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);

    center().setIsRecording(true);
    EXPECT_EQ(sim.disableTap(KeyEventType::TapDisabledByUserInput), TapVerdict::Pass);
    center().setIsRecording(false);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(firings("CommandTab"), 2);
}

TEST_F(HotKeyCenterTest, RegistryChangesWhileKeysArrive) {
    SGHotKeyRef hotKey = registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    RecordingDelegate other;
    constexpr int kPresses = 300;
    std::atomic<int> swallowed{0};
    std::thread typist([&] {
        for (int i = 0; i < kPresses; ++i) {
            if (sim.pressKey(vk::Tab, kEventFlagCommand) == TapVerdict::Swallow) ++swallowed;
            sim.changeModifiers(i % 2 ? kEventFlagCommand : 0);
        }
    });
    for (int i = 0; i < kPresses; ++i) {
        if (i % 2)
            center().registerHotKey(hotKey);
        else
            center().unregisterHotKey(hotKey);
        int64_t modifiers = i % 3 ? kCommandKeyModifier : kOptionKeyModifier;
        hotKey->setKeyCombo(SGKeyCombo::keyComboWithKeyCode(vk::Tab, modifiers));
        center().setCommandKeys(i % 2 ? std::vector<int64_t>{vk::Q} : std::vector<int64_t>{});
        center().setDelegate(i % 2 ? &other : &delegate);
        center().setIsRecording(i % 5 == 0);
        (void)center().allHotKeys();
        (void)center().hotKeyWithIdentifier("CommandTab");
    }
    typist.join();
    center().setIsRecording(false);
    finish();
    // Neither delegate swallows, so every swallowed key was a hot key that fired once.
    EXPECT_EQ(firings("CommandTab"), swallowed.load());
}

class CenterWithoutTapTest : public test::SimTest {
protected:
    ~CenterWithoutTapTest() override {
        sim.shutdown();
        SGHotKeyCenter::resetForTesting();
    }
};

TEST_F(CenterWithoutTapTest, RegistryWorksButNothingIsSwallowed) {
    sim.setEventTapAvailable(false);
    RecordingDelegate delegate;
    SGHotKeyCenter& center = SGHotKeyCenter::sharedCenter();
    center.setDelegate(&delegate);
    int runs = 0;
    auto hotKey = std::make_shared<SGHotKey>(
        "CommandTab", SGKeyCombo::keyComboWithKeyCode(vk::Tab, kCommandKeyModifier), [&runs] { ++runs; });
    EXPECT_TRUE(center.registerHotKey(hotKey));
    ASSERT_TRUE(sim.pumpUntil([&] { return sim.countCalls("createEventTap") == 1; }));
    EXPECT_TRUE(center.registerHotKey(hotKey));
    center.setCommandKeys({vk::Q});
    EXPECT_EQ(center.allHotKeys().size(), 1u);

    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    sim.changeModifiers(0);
    sim.pump();
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(delegate.ends.load(), 0);
    EXPECT_TRUE(sim.interceptedKeys().empty());
    sim.shutdown();
    SGHotKeyCenter::resetForTesting();
}

} // namespace
} // namespace velora
