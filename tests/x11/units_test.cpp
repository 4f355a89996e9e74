// Pure pieces of the X11 backend: Latin-1 titles, key positions, grabs, icons, the key tracker
// (one stream of key events from the raw, core and XKB views of the keyboard) and the desktop
// cache (active window, stacking, recency and hidden bookkeeping).
#include <gtest/gtest.h>

#include <set>

#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "platform/x11/x11_desktop_cache.h"
#include "platform/x11/x11_icons.h"
#include "platform/x11/x11_key_grabs.h"
#include "platform/x11/x11_key_tracker.h"
#include "platform/x11/x11_keycodes.h"
#include "platform/x11/x11_text.h"

namespace velora::x11 {
namespace {

// Old clients name their windows in Latin-1 (WM_NAME of type STRING).
TEST(X11Text, Latin1TitlesBecomeUtf8) {
    EXPECT_EQ(latin1ToUtf8("caf\xE9\xFF"), "caf\xC3\xA9\xC3\xBF");
}

TEST(X11Keycodes, KeysMapBothWaysByPosition) {
    // evdev numbering: the kernel code plus 8.
    EXPECT_EQ(xKeycodeForVirtualKey(vk::A), 38);
    std::set<uint8_t> seen;
    for (int64_t v = 0; v < 128; ++v) {
        const uint8_t x = xKeycodeForVirtualKey(v);
        if (x == 0) continue;
        EXPECT_TRUE(seen.insert(x).second) << "two virtual keys on X key " << int(x);
        EXPECT_EQ(virtualKeyForXKeycode(x), v);
    }
    EXPECT_GT(seen.size(), 100u);
    EXPECT_EQ(virtualKeyForXKeycode(0), -1);
}

TEST(X11Grabs, EachCombinationIsGrabbedUnderTheFourLockStates) {
    ModifierMap map; // Alt on Mod1, Super on Mod4, NumLock on Mod2
    const auto grabs = grabsFor({{vk::Tab, kEventFlagCommand, false}}, map);
    const std::set<KeyGrab> expected{
        {23, kXMod1}, {23, kXMod1 | kXLock}, {23, kXMod1 | kXMod2}, {23, kXMod1 | kXLock | kXMod2}};
    EXPECT_EQ(grabs, expected);
    // Caps Lock in the wanted flags is not a modifier of the combination.
    EXPECT_EQ(grabsFor({{vk::Tab, kEventFlagCommand | kEventFlagAlphaShift, false}}, map), expected);
    const auto any = grabsFor({{vk::Escape, 0, true}, {-7, 0, false}}, map);
    EXPECT_EQ(any, (std::set<KeyGrab>{{9, XCB_MOD_MASK_ANY}}));
}

TEST(X11Icons, NetWmIconSizesAreReadUntilTheDataStopsAddingUp) {
    std::vector<uint32_t> data{2, 1, 0xFFFF0000, 0x80FFFFFF, 1, 1, 0xFF00FF00};
    ImageRef icon = iconFromNetWmIcon(data);
    ASSERT_TRUE(icon);
    ASSERT_EQ(icon->representations().size(), 2u);
    EXPECT_EQ(icon->size(), (Size{2, 1}));
    const QImage& big = icon->representations().back();
    EXPECT_EQ(big.pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(qAlpha(big.pixel(1, 0)), 0x80);
    // A size that claims more values than follow ends the reading; the valid ones stay.
    data.insert(data.end(), {64, 64, 1, 2, 3});
    EXPECT_EQ(iconFromNetWmIcon(data)->representations().size(), 2u);
    EXPECT_EQ(iconFromNetWmIcon({100000, 1}), nullptr);
    EXPECT_EQ(iconFromNetWmIcon({}), nullptr);
}

constexpr uint8_t kAltL = 64, kAltR = 108, kShiftL = 50, kA = 38;

class KeyTrackerTest : public ::testing::Test {
  protected:
    KeyTrackerTest() : tracker([](uint8_t code) { return code == kA ? std::string("a") : std::string(); }) {
        ModifierMap map;
        map.keyMasks[kAltL] = kXMod1;
        map.keyMasks[kAltR] = kXMod1;
        map.keyMasks[kShiftL] = kXShift;
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
}

constexpr xcb_atom_t kHidden = 500, kShaded = 501;

ClientInfo client(xcb_window_t window, pid_t pid, xcb_window_t frame = 0) {
    ClientInfo info;
    info.window = window;
    info.pid = pid;
    info.frame = frame ? frame : window + 0x1000;
    info.hasWmState = true;
    info.wmState = kNormalState;
    return info;
}

class DesktopCacheTest : public ::testing::Test {
  protected:
    DesktopCacheTest() {
        cache.setStateAtoms(kHidden, kShaded);
        cache.setSupported({kHidden});
        cache.insertClient(client(10, 100));
        cache.insertClient(client(20, 200));
        cache.insertClient(client(21, 200));
        // The server's stacking of the frames, bottom first: 20, 10, 21.
        cache.resetRootStack({0x1014, 0x100A, 0x1015});
    }
    void minimise(xcb_window_t w, bool on) {
        cache.updateClient(w, [&](ClientInfo& i) {
            i.netState = on ? std::vector<xcb_atom_t>{kHidden} : std::vector<xcb_atom_t>{};
            i.wmState = on ? kIconicState : kNormalState;
        });
    }
    double now = 1000.0; // the cache's clock, moved by the test
    DesktopCache cache{[this] { return now; }};
};

TEST_F(DesktopCacheTest, FrontToBackFollowsTheServersStackingAndPutsTheActiveFirst) {
    EXPECT_EQ(cache.pidsFrontToBack(), (std::vector<pid_t>{200, 100}));
    cache.setActive(10);
    EXPECT_EQ(cache.pidsFrontToBack(), (std::vector<pid_t>{100, 200}));
    // A raise is a configure notice placing the frame above its new sibling.
    cache.rootChildAbove(0x1014, 0x1015);
    EXPECT_EQ(cache.clientsFrontFirst()[0].window, 20u);
    cache.rootChildAbove(0x1014, 0);
    EXPECT_EQ(cache.clientsFrontFirst()[2].window, 20u);
}

// Recency before the stacking (i3 focuses without restacking), an activation request that
// stands until the manager reports it, and a focus moved by the panel's hiding are checked
// under the real managers by the window-manager matrix (window_manager_test.cpp under i3) and
// by ActionsTest (a window that refuses the focus; a request that lapses wakes the poll).

// A request for the window active already: with no panel hidden nothing more is reported,
// and the user's next choice counts at once; after a hold the request stands, and once it
// lapses unanswered the manager's word counts again, as a change.
TEST_F(DesktopCacheTest, ARequestForTheActiveWindowStandsOnlyWhileAReportMayFollow) {
    cache.setActive(10);
    cache.noteActivationRequest(10, true);
    cache.setActive(20); // a click
    EXPECT_EQ(cache.activeWindow(), 20u);
    cache.holdActive();
    cache.noteActivationRequest(20, true);
    cache.setActive(21);
    EXPECT_EQ(cache.activeWindow(), 20u);
    const uint64_t changes = cache.focusChanges();
    now += DesktopCache::kRequestStandsSeconds;
    EXPECT_GT(cache.focusChanges(), changes);
    EXPECT_EQ(cache.activeWindow(), 21u);
    EXPECT_EQ(cache.mostRecentWindowOf(200), 21u);
}

TEST_F(DesktopCacheTest, AnInstantWithoutAnActiveWindowKeepsThePreviousOne) {
    cache.setActive(10);
    cache.setActive(0);
    EXPECT_EQ(cache.activeWindow(), 10u);
    now += DesktopCache::kZeroGraceSeconds * 0.9;
    EXPECT_EQ(cache.activeWindow(), 10u);
    now += DesktopCache::kZeroGraceSeconds * 0.2;
    EXPECT_EQ(cache.activeWindow(), 0u);
    cache.setActive(0x7777); // not a managed window
    EXPECT_EQ(cache.activePid(), 0);
}

TEST_F(DesktopCacheTest, TheMostRecentWindowOfAProcessPrefersOneThatIsNotMinimised) {
    EXPECT_EQ(cache.mostRecentWindowOf(200), 21u); // frontmost, never active
    cache.setActive(20);
    cache.setActive(10);
    EXPECT_EQ(cache.mostRecentWindowOf(200), 20u); // the one active last
    minimise(20, true);
    EXPECT_EQ(cache.mostRecentWindowOf(200), 21u);
    minimise(21, true);
    EXPECT_EQ(cache.mostRecentWindowOf(200), 20u); // all minimised: the most recent
}

TEST_F(DesktopCacheTest, MinimisedFollowsTheManagersHiddenStateWhenItSetsOne) {
    auto info = *cache.client(10);
    info.wmState = kIconicState; // openbox: windows of other desktops are iconic, not hidden
    EXPECT_FALSE(cache.isMinimized(info));
    info.netState = {kHidden};
    EXPECT_TRUE(cache.isMinimized(info));
    cache.setSupported({}); // a manager without the hidden state: the iconic state tells
    info.netState = {};
    EXPECT_TRUE(cache.isMinimized(info));
}

TEST_F(DesktopCacheTest, HiddenLastsWhileEveryWindowStaysMinimised) {
    cache.noteHidden(200, {20, 21});
    EXPECT_FALSE(cache.isHidden(200)) << "not minimised yet";
    minimise(20, true);
    minimise(21, true);
    EXPECT_TRUE(cache.isHidden(200));
    minimise(21, false); // the user brought one back
    EXPECT_FALSE(cache.isHidden(200));
    EXPECT_EQ(cache.takeHidden(200), (std::vector<xcb_window_t>{20, 21}));
    EXPECT_TRUE(cache.takeHidden(200).empty());
}

TEST_F(DesktopCacheTest, ARemovedWindowIsRememberedAsDestroyedAndForgottenEverywhereElse) {
    cache.setActive(10);
    ASSERT_TRUE(cache.removeClient(10));
    EXPECT_TRUE(cache.wasDestroyed(10));
    EXPECT_FALSE(cache.hasPid(100));
    EXPECT_EQ(cache.clientOfFrame(0x100A), 0u);
    EXPECT_EQ(cache.activeWindow(), 0u);
    EXPECT_FALSE(cache.removeClient(10));
}

} // namespace
} // namespace velora::x11
