// What the delegate is offered, auto-repeat thinning, the report of released modifiers,
// stepping aside while recording, the tap's life (disabled, missing), and the registry
// changing while keys arrive on the tap thread. (A key another program holds is left to it:
// the app suite's key conflicts and the held keys end to end.)
#include <thread>

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
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow); // a hot key: not offered

    const auto offered = delegate.offered();
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[0].charactersIgnoringModifiers, "a");
    EXPECT_EQ(offered[1].keyCode, vk::S);
    EXPECT_EQ(offered[1].flags, kEventFlagCommand | kEventFlagAlphaShift); // the event as it came
    EXPECT_EQ(delegate.offeredOnMain.load(), 0);
    const auto delivered = sim.deliveredKeys();
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0].event.keyCode, vk::A);
}

// A held hot key fires again on every seventh auto-repeat; the others are swallowed.
TEST_F(HotKeyCenterTest, AHeldHotKeyFiresAgainOnEverySeventhRepeat) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    for (int repeat = 1; repeat <= 7; ++repeat) {
        EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Swallow);
        EXPECT_EQ(firings("CommandTab"), repeat < 7 ? 1 : 2) << "repeat " << repeat;
    }
    EXPECT_EQ(sim.deliveredKeys().size(), 0u);
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, ReleaseIsReportedWhenNoTrackedModifierRemains) {
    // Reported after 0 and after each change that leaves only Caps Lock and Fn, which are not
    // held modifiers; not while Shift or Control is still down.
    for (uint64_t flags :
         {kEventFlagCommand | kEventFlagShift, kEventFlagShift, uint64_t{0}, kEventFlagAlphaShift,
          kEventFlagAlphaShift | kEventFlagFunction, kEventFlagAlphaShift | kEventFlagControl})
        EXPECT_EQ(sim.changeModifiers(flags), TapVerdict::Pass) << flags;
    // Without a delegate nothing is offered and no release is reported.
    center().setDelegate(nullptr);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    sim.changeModifiers(0);
    finish();
    EXPECT_EQ(delegate.ends.load(), 3);
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, RecordingPassesEverythingAndReportsNoRelease) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    delegate.answer = true;
    center().setIsRecording(true);
    EXPECT_TRUE(sim.tapRecording()); // a desktop whose bindings come first withdraws them
    EXPECT_EQ(sim.changeModifiers(kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.releaseKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.changeModifiers(0), TapVerdict::Pass);
    EXPECT_EQ(firings("CommandTab"), 0);
    EXPECT_EQ(center().swallowedRepeat(), 0);

    // A disabled tap is enabled again even while recording.
    EXPECT_EQ(sim.disableTap(KeyEventType::TapDisabledByUserInput), TapVerdict::Pass);
    center().setIsRecording(false);
    EXPECT_FALSE(sim.tapRecording());
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(sim.disableTap(KeyEventType::TapDisabledByTimeout), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    sim.changeModifiers(0);
    finish();
    EXPECT_EQ(firings("CommandTab"), 2);
    EXPECT_EQ(delegate.ends.load(), 1);
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, RegistryAndKeysHeldElsewhereChangeWhileKeysArrive) {
    const InterceptedKey commandTab{vk::Tab, kEventFlagCommand, false};
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
        hotKey->setKeyCombo(
            SGKeyCombo::keyComboWithKeyCode(vk::Tab, i % 3 ? kCommandKeyModifier : kOptionKeyModifier));
        center().setCommandKeys(i % 2 ? std::vector<int64_t>{vk::Q} : std::vector<int64_t>{});
        center().setDelegate(i % 2 ? &other : &delegate);
        center().setIsRecording(i % 5 == 0);
        // Held by another program now and then: the key passes unfired meanwhile.
        if (i % 7 == 0)
            sim.holdKeyElsewhere(commandTab);
        else if (i % 7 == 3)
            sim.releaseKeyHeldElsewhere(commandTab);
        (void)center().allHotKeys();
        (void)center().refusedKeys();
    }
    typist.join();
    center().setIsRecording(false);
    finish();
    // Neither delegate swallows, so every swallowed key was a hot key that fired once.
    EXPECT_EQ(firings("CommandTab"), swallowed.load());
}

} // namespace
} // namespace velora
