// The window model on the simulated desktop. Window records: the matcher (owner, layer, exact
// bounds, window size and title by filter level), the attributes read from their sources, the
// visibility rules, filter levels and the filters dictionary read from the user defaults,
// hostile values included. The window list: placement, the scanning thread, notifications,
// purges and the queries; the focused-window poll on a desktop that reports focus changes.
#include <algorithm>
#include <limits>
#include <thread>

#include "model/filter_levels.h"
#include "model/filters_dictionary.h"
#include "model/vl_element.h"
#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "platform/ax_names.h"
#include "settings/user_defaults.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

// Settings start and end fresh, and the shared window manager (if a test started it) is
// stopped before the desktop goes.
class ModelTest : public test::SimTest {
  protected:
    ModelTest() { VLSettings::shared().reset(); }
    ~ModelTest() override {
        sim.shutdown();
        VLWindowManager::resetSharedManagerForTesting();
        VLSettings::shared().reset();
    }

    static AXElement windowElement(pid_t pid, uint32_t window) {
        return AXElement{AXElement::Kind::Window, pid, window};
    }
    static VLElementRef record(pid_t pid, uint32_t window) {
        return VLElement::elementWithElementRef(windowElement(pid, window));
    }
    static WindowInfoList windowList() {
        return windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    }
    static void setLevel(const std::string& key, int32_t level) {
        VLSettings::shared().updateFilters([&](FilterDictionary& f) { f[key] = level; });
    }
    // The shared manager, once its scanning thread has completed its first pass and sleeps.
    VLWindowManager& start() {
        VLWindowManager& m = VLWindowManager::sharedManager();
        EXPECT_TRUE(sim.pumpUntil([&] { return m.completedPasses() >= 1 && sim.sleepers() >= 1; }));
        return m;
    }
    static std::vector<uint64_t> ids(const std::vector<VLElementRef>& records) {
        std::vector<uint64_t> out;
        for (const VLElementRef& r : records)
            out.push_back(r->element().id);
        return out;
    }
    static std::vector<uint64_t> listed(const VLWindowManager& m) { return ids(m.windowsArray()); }
    // A record matched against the current window list.
    VLElementRef matched(pid_t pid, uint32_t window) {
        VLElementRef r = record(pid, window);
        EXPECT_TRUE(r->findPIDandWID(windowList()));
        return r;
    }
};

TEST_F(ModelTest, MatcherComparesTitlesOnlyAtHighLevelAndNeedsOneAtAll) {
    sim::WindowSpec spec;
    spec.serverName = "Other";
    auto [pid, w] = appWithWindow("org.example.a", "Doc", spec);
    EXPECT_FALSE(record(pid, w)->findPIDandWID(windowList()));

    setLevel("org.example.a", kFilterLevelLow);
    VLElementRef low = record(pid, w);
    EXPECT_TRUE(low->findPIDandWID(windowList()));
    EXPECT_EQ(low->wid(), int32_t(w));

    // Geometry alone never does: an empty or missing title, or no list, fails at any level.
    EXPECT_FALSE(record(pid, w)->findPIDandWID(nullptr));
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.title = ""; });
    EXPECT_FALSE(record(pid, w)->findPIDandWID(windowList()));
    sim.updateWindow(w, [](sim::WindowSpec& s) { s.title = std::nullopt; });
    EXPECT_FALSE(record(pid, w)->findPIDandWID(windowList()));
}

TEST_F(ModelTest, MatcherSkipsOtherOwnersLayersAndBoundsAndTakesTheFirstInListOrder) {
    setLevel(kAllApplications, kFilterLevelMedium);
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    appWithWindow("org.example.b", "Doc");
    // Window-server-only windows of the process, the newest (without focus) in front.
    auto serverOnly = [&, p = pid](Rect bounds, int32_t layer = 0) {
        sim::WindowSpec s;
        s.listedInApplication = false;
        s.serverBounds = bounds;
        s.serverName = "Doc";
        s.layer = layer;
        return sim.addWindow(p, s);
    };
    serverOnly(Rect{100, 100, 640, 480}, 3);
    serverOnly(Rect{100, 100, 640, 479});
    const uint32_t twin = serverOnly(Rect{100, 100, 640, 480});
    VLElementRef r = record(pid, w);
    ASSERT_TRUE(r->findPIDandWID(windowList()));
    EXPECT_EQ(r->wid(), int32_t(twin));
}

// Geometry and title agree, yet a window under 50 pixels both ways, or of no width, never
// matches; its record is marked as having no window, and is never shown.
TEST_F(ModelTest, TinyWindowsAreNeitherMatchedNorShown) {
    const pid_t pid = appWithWindow("org.example.a", "A").first;
    for (auto [size, qualifies] :
         {std::pair{Size{49, 49}, false}, {Size{50, 1}, true}, {Size{0, 500}, false}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        sim::WindowSpec spec;
        spec.size = size;
        VLElementRef r = record(pid, sim.addWindow(pid, spec));
        EXPECT_EQ(r->findPIDandWID(windowList()), qualifies);
        EXPECT_EQ(r->shouldShowWindow(windowList()), qualifies);
        EXPECT_EQ(r->shouldShowWindowDisregardingOptions(windowList()), qualifies);
    }
}

// A hidden application's window reads as hidden, a hung one's title as not responding, a
// gone one's as nothing.
TEST_F(ModelTest, WindowsOfHiddenHungAndGoneApplications) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = matched(pid, w);
    sim.setApplicationHidden(pid, true);
    EXPECT_TRUE(r->checkIfHidden());
    EXPECT_EQ(r->getTitle(), "Doc");
    sim.setApplicationHung(pid, true);
    EXPECT_EQ(r->getTitle(), VLElement::kNotResponding);
    sim.terminateApplication(pid);
    EXPECT_EQ(r->getTitle(), std::nullopt);
}

TEST_F(ModelTest, ExistenceByLevelAndItsCache) {
    sim::WindowSpec palette, dialog, lonelyDialog;
    palette.subrole = ax::SubroleFloatingWindow;
    palette.childCount = 3;
    dialog.subrole = ax::SubroleDialog;
    lonelyDialog.subrole = ax::SubroleDialog;
    lonelyDialog.childCount = 0;
    auto [pid, standard] = appWithWindow("org.example.a", "Doc");
    uint32_t p = sim.addWindow(pid, palette), d = sim.addWindow(pid, dialog),
             ld = sim.addWindow(pid, lonelyDialog);

    // Per level, which of: standard, palette, dialog, dialog without children.
    const std::pair<int32_t, const char*> table[] = {
        {0, "1111"}, {1, "1110"}, {2, "1010"}, {3, "0000"}, {-1, "1110"}};
    for (const auto& [level, exists] : table) {
        setLevel(kAllApplications, level);
        const uint32_t windows[] = {standard, p, d, ld};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(record(pid, windows[i])->checkIfExists(), exists[i] == '1')
                << "level " << level << ", window " << i;
    }
    // A cached verdict goes when the level changes; an empty title is never a window, and is
    // not cached.
    setLevel(kAllApplications, kFilterLevelMedium);
    VLElementRef r = record(pid, standard);
    EXPECT_TRUE(r->checkIfExists());
    sim.updateWindow(standard, [](sim::WindowSpec& s) {
        s.subrole = ax::SubroleDialog;
        s.childCount = 0;
    });
    setLevel(kAllApplications, kFilterLevelHigh);
    EXPECT_FALSE(r->checkIfExists());
    sim.updateWindow(standard, [](sim::WindowSpec& s) { s.title = ""; });
    setLevel(kAllApplications, kFilterLevelLow);
    EXPECT_FALSE(r->checkIfExists());
    EXPECT_EQ(r->alreadyFiltered(), kFilterLevelHigh);
}

TEST_F(ModelTest, RulesReadFiltersWhileThePreferencesEditThem) {
    auto [pid, w] = appWithWindow("org.example.a", "Doc");
    VLElementRef r = matched(pid, w);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            int32_t level = r->getFilterLevel();
            EXPECT_TRUE(level == kFilterLevelHigh || level == kFilterLevelLow || level == kFilterLevelMedium);
            r->shouldShowWindow(nullptr);
        }
    });
    for (int i = 0; i < 300; ++i) {
        setLevel("org.example.a", i % 2 ? kFilterLevelLow : kFilterLevelMedium);
        VLSettings::shared().ignoreMinimized = i % 2;
    }
    done = true;
    reader.join();
    EXPECT_TRUE(r->checkIfExists());
}

TEST(FiltersDictionaryTest, StoredEntriesAreCopiedHostileValuesRefusedAndNoDictionaryGivesTheDefault) {
    test::TempDir dir;
    UserDefaults::resetStandard(dir / "defaults.plist");
    auto store = [](PlistValue value) {
        UserDefaults::standard().setObject(kFiltersDefaultsKey, std::move(value));
    };
    const FilterDictionary defaults{{kAllApplications, 2}};
    EXPECT_EQ(getFiltersDictionary(), defaults);
    store(PlistValue("org.example.app"));
    EXPECT_EQ(getFiltersDictionary(), defaults);

    store(PlistValue(PlistValue::Dictionary{
        {"org.example.app", PlistValue(1)},
        {"org.example.real", PlistValue(3.9)},
        {"org.example.huge", PlistValue(int64_t(1) << 33)},
        {"org.example.nan", PlistValue(std::numeric_limits<double>::quiet_NaN())},
        {"org.example.text", PlistValue("2")},
    }));
    const FilterDictionary expected{{"org.example.app", 1},
                                    {"org.example.real", 3},
                                    {"org.example.huge", std::numeric_limits<int32_t>::max()}};
    EXPECT_EQ(getFiltersDictionary(), expected);
}

class WindowManagerTest : public ModelTest {
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
    sim::WindowSpec answering;
    answering.roleReadableWhenDestroyed = true;
    uint32_t created = sim.addWindow(pid, answering);
    uint32_t silent = sim.addWindow(pid);
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w, wb})); // not before the main thread runs
    sim.pump();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{w, wb, created, silent}));

    sim.destroyWindow(created);
    sim.destroyWindow(silent); // its role no longer reads: left to the purge
    sim.terminateApplication(b);
    sim.pump();
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

class FocusPollIdleTest : public ModelTest {
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

// On a desktop that reports focus changes the poll sleeps until a change or the next rescan.
TEST_F(FocusPollIdleTest, WakesOnAFocusChangeAndStillRescans) {
    sim.setReportsFocusChanges(true);
    const uint32_t wa = appWithWindow("org.example.a", "A").second;
    const uint32_t wb = appWithWindow("org.example.b", "B").second;
    VLWindowManager& m = start();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wa, wb}));

    // The change's wake-up runs the poll without the clock moving.
    endPollSleep();
    sim.focusWindow(wb);
    ASSERT_TRUE(sim.pumpUntil([&] { return m.completedPasses() == 2 && sim.sleepers() >= 1; }));
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wb, wa}));

    // An application that announced nothing is found by the rescan.
    const uint32_t found = sim.addWindow(sim.addApplication(sim::ApplicationSpec{}));
    endPollSleep();
    sim.advance(VLWindowManager::kPollInterval * VLWindowManager::kPassesPerRescan);
    EXPECT_TRUE(sim.pumpUntil([&] { return listed(m) == std::vector<uint64_t>{wb, wa, found}; }));
}

} // namespace
} // namespace velora
