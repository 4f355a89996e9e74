// Auto-repeat thinning, the report of released modifiers, and stepping aside while recording.
#include "hot_key_center_fixture.h"
#include "platform/virtual_keys.h"

namespace velora {
namespace {

using test::HotKeyCenterTest;

TEST_F(HotKeyCenterTest, HeldHotKeyFiresOnThePressThenEverySeventhRepeat) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    EXPECT_EQ(firings("CommandTab"), 1);
    for (int repeat = 1; repeat <= 6; ++repeat) {
        EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Swallow);
        EXPECT_EQ(center().swallowedRepeat(), repeat);
    }
    EXPECT_EQ(firings("CommandTab"), 1);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Swallow);
    EXPECT_EQ(center().swallowedRepeat(), 0);
    EXPECT_EQ(firings("CommandTab"), 2);
    EXPECT_EQ(deliveredCount(), 0u);
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, RepeatCountCarriesOverToTheNextHold) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    registerHotKey("OptionGrave", vk::Grave, kOptionKeyModifier);

    sim.pressKey(vk::Tab, kEventFlagCommand);
    for (int repeat = 0; repeat < 3; ++repeat) sim.pressKey(vk::Tab, kEventFlagCommand, true);
    sim.releaseKey(vk::Tab, kEventFlagCommand);
    sim.changeModifiers(0);
    EXPECT_EQ(firings("CommandTab"), 1);

    // A new press does not reset the count, even of another hot key: four repeats fire it.
    sim.changeModifiers(kEventFlagOption);
    sim.pressKey(vk::Grave, kEventFlagOption);
    EXPECT_EQ(firings("OptionGrave"), 1);
    for (int repeat = 0; repeat < 3; ++repeat) sim.pressKey(vk::Grave, kEventFlagOption, true);
    EXPECT_EQ(firings("OptionGrave"), 1);
    sim.pressKey(vk::Grave, kEventFlagOption, true);
    EXPECT_EQ(firings("OptionGrave"), 2);
}

TEST_F(HotKeyCenterTest, RepeatCountSetFromOutsideIsTakenAsASigned32BitValue) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    center().setSwallowedRepeat(-2);
    sim.pressKey(vk::Tab, kEventFlagCommand, true);
    EXPECT_EQ(center().swallowedRepeat(), -1);
    sim.pressKey(vk::Tab, kEventFlagCommand, true);
    EXPECT_EQ(firings("CommandTab"), 1);
    center().setSwallowedRepeat(INT32_MAX);  // wraps to INT32_MIN, whose remainder is -2
    sim.pressKey(vk::Tab, kEventFlagCommand, true);
    EXPECT_EQ(center().swallowedRepeat(), -2);
}

TEST_F(HotKeyCenterTest, ReleaseIsReportedWhenNoTrackedModifierRemains) {
    EXPECT_EQ(sim.changeModifiers(kEventFlagCommand | kEventFlagShift), TapVerdict::Pass);
    // Command up, Shift still held: no report.
    EXPECT_EQ(sim.changeModifiers(kEventFlagShift), TapVerdict::Pass);
    // Shift up too.
    EXPECT_EQ(sim.changeModifiers(0), TapVerdict::Pass);
    // Caps Lock and Fn are not held modifiers: each change that leaves only them is reported.
    EXPECT_EQ(sim.changeModifiers(kEventFlagAlphaShift), TapVerdict::Pass);
    EXPECT_EQ(sim.changeModifiers(kEventFlagAlphaShift | kEventFlagFunction), TapVerdict::Pass);
    EXPECT_EQ(sim.changeModifiers(kEventFlagAlphaShift | kEventFlagControl), TapVerdict::Pass);
    finish();
    EXPECT_EQ(delegate.ends.load(), 3);
}

TEST_F(HotKeyCenterTest, RecordingPassesEverythingAndReportsNoRelease) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    delegate.answer = true;
    center().setIsRecording(true);

    EXPECT_EQ(sim.changeModifiers(kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.releaseKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.changeModifiers(0), TapVerdict::Pass);
    EXPECT_EQ(firings("CommandTab"), 0);
    EXPECT_EQ(deliveredCount(), 4u);
    EXPECT_EQ(center().swallowedRepeat(), 0);

    center().setIsRecording(false);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    sim.changeModifiers(0);
    finish();
    EXPECT_EQ(firings("CommandTab"), 1);
    EXPECT_EQ(delegate.ends.load(), 1);
    EXPECT_TRUE(delegate.offered().empty());
}

} // namespace
} // namespace velora
