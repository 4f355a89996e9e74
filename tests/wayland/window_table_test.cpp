// The window table: toplevels paired with sway's views and what each change announces. (The
// recency order the switcher cycles through is checked end to end, scripts/test-wayland.sh.)
#include <gtest/gtest.h>

#include "platform/wayland/wl_window_table.h"

namespace velora::wl {
namespace {

SwayView view(int64_t con, pid_t pid, const std::string& appId, const std::string& title) {
    return {con, pid, appId, title, Rect{double(con) * 100, 0, 100, 100}, 1, true, false};
}

class WindowTableTest : public ::testing::Test {
  protected:
    uint32_t open(const std::string& appId, const std::string& title, bool activated = false) {
        const uint32_t n = table.add();
        table.update(n, appId, title, activated, false, false, false);
        return n;
    }
    WindowTable table;
};

TEST_F(WindowTableTest, ToplevelsPairWithViewsByAppIdAndTitleInTheOrderTheyWereMade) {
    const uint32_t a = open("foot", "shell");
    const uint32_t b = open("foot", "shell");
    const uint32_t c = open("firefox", "News");
    // Until its view is known a window has no pid and is nowhere in the lists.
    EXPECT_TRUE(table.frontToBack().empty());
    auto changes = table.applyViews(
        {view(12, 300, "firefox", "News"), view(10, 100, "foot", "shell"), view(11, 200, "foot", "shell")});
    EXPECT_EQ(table.window(a)->pid, 100);
    EXPECT_EQ(table.window(b)->pid, 200);
    EXPECT_EQ(table.window(c)->pid, 300);
    EXPECT_EQ(changes.launched, (std::vector<pid_t>{100, 200, 300}));

    // A title that changes later keeps the window on the view it was paired with.
    table.update(a, "foot", "vim notes", false, false, false, false);
    table.update(b, "foot", "shell", false, false, false, false);
    changes = table.applyViews({view(11, 200, "foot", "shell"), view(10, 100, "foot", "vim notes"),
                                view(12, 300, "firefox", "News")});
    EXPECT_EQ(table.window(a)->pid, 100);
    EXPECT_EQ(table.window(b)->pid, 200);
    EXPECT_TRUE(changes.created.empty() && changes.launched.empty());
    // An activation counts as a focus change: the focus poll wakes on it, not at its next turn.
    const uint64_t before = table.focusChanges();
    table.update(b, "foot", "shell", true, false, false, false);
    EXPECT_GT(table.focusChanges(), before);
}

TEST_F(WindowTableTest, TheLastWindowOfAProcessGoingEndsItsApplication) {
    const uint32_t a = open("foot", "one");
    const uint32_t b = open("foot", "two");
    table.applyViews({view(1, 100, "foot", "one"), view(2, 100, "foot", "two")});
    auto changes = table.remove(a);
    EXPECT_EQ(changes.destroyed, (std::vector<std::pair<pid_t, uint32_t>>{{100, a}}));
    EXPECT_TRUE(changes.terminated.empty());
    EXPECT_TRUE(table.hasPid(100));
    changes = table.remove(b);
    EXPECT_EQ(changes.terminated, std::vector<pid_t>{100});
    EXPECT_FALSE(table.hasPid(100));
    EXPECT_FALSE(table.window(b)); // a vanished window: the neutral answer
}

// Without the compositor's IPC: one application per app_id (checked end to end by
// scripts/test-wayland-trigger.sh), its windows kept apart by their nominal rectangles, and
// an app_id that comes back after its last window went is a new application.
TEST_F(WindowTableTest, WithoutAnIpcWindowsAreGroupedByAppIdAndAnAppIdBackIsANewApplication) {
    const uint32_t a = open("foot", "one");
    const uint32_t b = open("foot", "two");
    table.groupByAppId();
    const pid_t foot = table.window(a)->pid;
    EXPECT_FALSE(table.window(a)->bounds == table.window(b)->bounds);

    table.remove(a);
    EXPECT_TRUE(table.groupByAppId().terminated.empty());
    EXPECT_EQ(table.remove(b).terminated, (std::vector<pid_t>{foot}));
    table.groupByAppId();
    const uint32_t d = open("foot", "three");
    const auto changes = table.groupByAppId();
    EXPECT_NE(table.window(d)->pid, foot);
    EXPECT_EQ(changes.launched, (std::vector<pid_t>{table.window(d)->pid}));
}

} // namespace
} // namespace velora::wl
