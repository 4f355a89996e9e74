// The window list: placement, the scanning thread, notifications, purges and the queries; the
// focused-window poll on a desktop that reports focus changes.
#include <algorithm>
#include <thread>

#include "model_fixture.h"
#include "platform/ax_names.h"

namespace velora {
namespace {

class WindowManagerTest : public test::ModelTest {
  protected:
    // Lets one poll interval pass and waits until the next pass is done.
    void nextPass(VLWindowManager& m) {
        uint64_t before = m.completedPasses();
        sim.advance(VLWindowManager::kPollInterval);
        ASSERT_TRUE(sim.pumpUntil([&] { return m.completedPasses() > before && sim.sleepers() >= 1; }));
    }
    // Runs passes up to and including the next purge and rescan.
    void untilNextPurge(VLWindowManager& m) {
        while (m.completedPasses() % VLWindowManager::kPassesPerRescan != 0)
            nextPass(m);
        nextPass(m);
    }
    static VLElementRef fake(uint64_t id) { return record(1, uint32_t(id)); }
};

// A listed record moves up on request, with what it learned; it is never listed twice.
TEST_F(WindowManagerTest, PlacementKeepsTheListedRecord) {
    VLWindowManager& m = start();
    for (uint64_t id : {1, 2, 3})
        m.processWindow(fake(id), false);
    VLElementRef kept = m.windowsArray()[2];
    m.processWindow(fake(3), false);
    m.processWindow(fake(3), true);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{3, 1, 2}));
    EXPECT_EQ(m.windowsArray()[0], kept);
}

// Windows arrive through notifications on the main thread; a destroyed window whose role still
// reads leaves at once, the others and a terminated application's windows at the next purge.
TEST_F(WindowManagerTest, NotificationsAddAndRemoveWindowsAndPurgesRemoveTheRest) {
    auto [pid, w] = appWithWindow("org.example.a", "A");
    auto [b, wb] = appWithWindow("org.example.b", "B");
    VLWindowManager& m = start();
    ASSERT_EQ(m.observers().size(), 2u);
    sim::WindowSpec answering;
    answering.roleReadableWhenDestroyed = true;
    uint32_t created = sim.addWindow(pid, answering);
    uint32_t silent = sim.addWindow(pid);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w, wb})); // not before the main thread runs
    sim.pump();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w, wb, created, silent}));
    windowNotificationCallback(m, windowElement(pid, created), ax::WindowCreated);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w, wb, created, silent}));

    sim.destroyWindow(created);
    sim.destroyWindow(silent); // its role no longer reads: left to the purge
    sim.terminateApplication(b);
    sim.pump();
    ASSERT_EQ(m.observers().size(), 1u);
    EXPECT_TRUE(m.observers()[0]->isEqualTo(pid));
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w, wb, silent}));
    untilNextPurge(m);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w}));
}

// A launch is scanned at once, a space change scans everything, and an application that
// came without a launch is watched from the rescan on (its observer scheduled on the main
// thread, so later windows arrive through notifications).
TEST_F(WindowManagerTest, LaunchesSpaceChangesAndRescansFindApplications) {
    VLWindowManager& m = start();
    sim::ApplicationSpec spec;
    const uint32_t launched = sim.addWindow(sim.launchApplication(spec)); // before anyone watches it
    sim.pump();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{launched}));
    const uint32_t quiet = sim.addWindow(sim.addApplication(spec)); // no launch notification
    sim.setCurrentSpace(2);
    sim.pump();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{launched, quiet}));

    const pid_t pid = sim.addApplication(spec);
    const uint32_t first = sim.addWindow(pid);
    untilNextPurge(m);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{launched, quiet, first}));
    EXPECT_EQ(m.observers().size(), 3u); // one each, the rescan made no second one
    const uint32_t second = sim.addWindow(pid);
    sim.pump();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{launched, quiet, first, second}));
}

TEST_F(WindowManagerTest, WindowsOfAProcessFollowTheOptionsAndOpenWindowsDoNot) {
    sim::WindowSpec minimised;
    minimised.minimized = true;
    auto [a, wa] = appWithWindow("org.example.a", "A");
    uint32_t wm = sim.addWindow(a, minimised);
    const uint32_t wb = appWithWindow("org.example.b", "B").second;
    VLWindowManager& m = start();
    ASSERT_EQ(listed(m), (std::vector<uint64_t>{wm, wa, wb}));

    EXPECT_EQ(ids(m.windowsForPID(a)), (std::vector<uint64_t>{wm, wa}));
    VLSettings::shared().ignoreMinimized = 1;
    sim.destroyWindow(wa);
    EXPECT_TRUE(m.windowsForPID(a).empty());
    EXPECT_TRUE(m.pidHasOpenWindows(a)); // options do not apply
}

// A hung application's windows are left out until it answers; a listed one keeps its windows.
TEST_F(WindowManagerTest, HungApplication) {
    auto [hung, wh] = appWithWindow("org.example.hung", "H");
    auto [later, wl] = appWithWindow("org.example.later", "L");
    sim.setApplicationHung(hung, true);
    VLWindowManager& m = start();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wl}));
    ASSERT_EQ(m.windowsForPID(later).size(), 1u); // matched and judged while it answers
    sim.setApplicationHung(hung, false);
    sim.setApplicationHung(later, true);
    untilNextPurge(m);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wl, wh}));
    EXPECT_EQ(ids(m.windowsForPID(later)), (std::vector<uint64_t>{wl}));
    EXPECT_EQ(ids(m.windowsForPID(hung)), (std::vector<uint64_t>{wh}));
}

TEST_F(WindowManagerTest, ConcurrentPlacementNeverListsAWindowTwice) {
    VLWindowManager& m = start();
    constexpr uint64_t kWindows = 300;
    auto place = [&](bool top) {
        for (uint64_t id = 1; id <= kWindows; ++id)
            m.processWindow(fake(id), top && id % 3 == 0);
    };
    std::thread first(place, true), second(place, false);
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i)
            m.windowsForPID(77);
    });
    first.join();
    second.join();
    reader.join();
    std::vector<uint64_t> all = listed(m);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.size(), kWindows);
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

class FocusPollIdleTest : public test::ModelTest {
  protected:
    // Ends the poll's sleep of one interval and waits until the thread has looked at the
    // focus count and sleeps again.
    void endPollSleep() {
        const int looks = sim.countCalls("focusChangeCount");
        sim.advance(VLWindowManager::kPollInterval);
        ASSERT_TRUE(
            sim.pumpUntil([&] { return sim.countCalls("focusChangeCount") > looks && sim.sleepers() >= 1; }));
    }
};

TEST_F(FocusPollIdleTest, SleepsWhileTheFocusStandsStillWakesOnAChangeAndStillRescans) {
    sim.setReportsFocusChanges(true);
    auto [a, wa] = appWithWindow("org.example.a", "A");
    auto [b, wb] = appWithWindow("org.example.b", "B");
    VLWindowManager& m = start();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wa, wb}));

    endPollSleep();
    sim.advance(5.0);
    sim.pump();
    EXPECT_EQ(m.completedPasses(), 1u) << "an unchanged focus woke the poll";

    // The change's wake-up runs the poll without the clock moving.
    sim.focusWindow(wb);
    ASSERT_TRUE(sim.pumpUntil([&] { return m.completedPasses() == 2 && sim.sleepers() >= 1; }));
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wb, wa}));

    // An application that announced nothing is found by the rescan ten seconds after the last.
    sim::ApplicationSpec quiet;
    quiet.bundleIdentifier = "org.example.quiet";
    const uint32_t found = sim.addWindow(sim.addApplication(quiet));
    const auto listsIt = [&] { return listed(m).size() == 3 && listed(m).back() == found; };
    endPollSleep();
    sim.advance(4.0);
    sim.pump();
    EXPECT_FALSE(listsIt());
    sim.advance(1.0);
    EXPECT_TRUE(sim.pumpUntil(listsIt));
    (void)a, (void)b;
}

} // namespace
} // namespace velora
