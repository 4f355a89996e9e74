// The desktop cache: active window, stacking, recency and hidden bookkeeping.
#include <gtest/gtest.h>

#include "platform/x11/x11_desktop_cache.h"

namespace velora::x11 {
namespace {

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
// by ActionsTest.AWindowThatRefusesTheFocus...
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
    info.netState = {kHidden, kShaded};
    EXPECT_FALSE(cache.isMinimized(info));
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
    // Only so many are remembered.
    for (xcb_window_t w = 1000; w < 1000 + DesktopCache::kRememberedDestroyed; ++w) {
        cache.insertClient(client(w, 300));
        cache.removeClient(w);
    }
    EXPECT_FALSE(cache.wasDestroyed(10));
    EXPECT_TRUE(cache.wasDestroyed(1000 + DesktopCache::kRememberedDestroyed - 1));
}

} // namespace
} // namespace velora::x11
