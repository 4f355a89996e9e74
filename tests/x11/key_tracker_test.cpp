// The key tracker: one stream of key events from the raw, core and XKB views of the keyboard.
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"
#include "platform/x11/x11_key_tracker.h"
#include "platform/x11/x11_keycodes.h"

namespace velora::x11 {
namespace {

constexpr uint8_t kAltL = 64, kAltR = 108, kShiftL = 50, kCaps = 66, kA = 38;

class KeyTrackerTest : public ::testing::Test {
  protected:
    KeyTrackerTest() : tracker([](uint8_t code) { return code == kA ? std::string("a") : std::string(); }) {
        ModifierMap map;
        map.keyMasks[kAltL] = kXMod1;
        map.keyMasks[kAltR] = kXMod1;
        map.keyMasks[kShiftL] = kXShift;
        map.keyMasks[kCaps] = kXLock;
        tracker.setModifierMap(map);
    }
    KeyTracker tracker;
};

TEST_F(KeyTrackerTest, TheSameEventSeenTwiceCountsOnce) {
    // Raw and core views of one press share the server time; XTest may repeat a raw release.
    EXPECT_EQ(tracker.key(true, kA, 200).size(), 1u);
    EXPECT_TRUE(tracker.key(true, kA, 200).empty());
    EXPECT_EQ(tracker.key(false, kA, 210).size(), 1u);
    EXPECT_TRUE(tracker.key(false, kA, 210).empty());
    EXPECT_TRUE(tracker.key(false, kA, 215).empty());
    EXPECT_EQ(tracker.key(true, kA, 220)[0].charactersIgnoringModifiers, "a");
    EXPECT_EQ(tracker.key(true, 250, 230)[0].keyCode, -1) << "a key without a position";
}

TEST_F(KeyTrackerTest, APressOfAHeldKeyIsAnAutoRepeatUnlessItsReleaseWasMissedLongAgo) {
    tracker.key(true, kA, 1000);
    auto e = tracker.key(true, kA, 1700);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_TRUE(e[0].isAutoRepeat);
    e = tracker.key(true, kA, 1700 + KeyTracker::kRepeatGapMs + 1);
    EXPECT_FALSE(e[0].isAutoRepeat);
    // Held modifiers repeat without news.
    tracker.key(true, kShiftL, 5000);
    EXPECT_TRUE(tracker.key(true, kShiftL, 5600).empty());
}

TEST_F(KeyTrackerTest, AModifierStaysWhileAnotherKeyOfItIsHeld) {
    tracker.key(true, kAltL, 10);
    EXPECT_TRUE(tracker.key(true, kAltR, 20).empty());
    EXPECT_TRUE(tracker.key(false, kAltL, 30).empty());
    EXPECT_EQ(tracker.flags(), kEventFlagCommand);
    auto e = tracker.key(false, kAltR, 40);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].flags, 0u);
}

TEST_F(KeyTrackerTest, TheXkbStateIsTheAuthorityAndReleasesAreNoticedFromEitherSide) {
    // A release seen only by XKB (the raw release did not come): flags follow the state.
    tracker.key(true, kAltL, 10);
    auto e = tracker.modifierState(0, kAltL);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].flags, 0u);
    // A raw release first, then the state notice that agrees: one change, not two.
    tracker.key(true, kShiftL, 50);
    EXPECT_TRUE(tracker.modifierState(kXShift, kShiftL).empty());
    EXPECT_EQ(tracker.key(false, kShiftL, 60).size(), 1u);
    EXPECT_TRUE(tracker.modifierState(0, kShiftL).empty());
    // Caps Lock is a lock: its flag comes from the state alone, and keys carry it.
    EXPECT_TRUE(tracker.key(true, kCaps, 70).empty());
    e = tracker.modifierState(kXLock, kCaps);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].flags, kEventFlagAlphaShift);
    tracker.key(false, kCaps, 80);
    EXPECT_EQ(tracker.flags(), kEventFlagAlphaShift);
    EXPECT_EQ(tracker.key(true, kA, 90)[0].flags, kEventFlagAlphaShift);
}

} // namespace
} // namespace velora::x11
