// The cycle actions: candidate lists, where the selection starts and how it walks, the quick
// switch over refused candidates, mode changes and the backward key.
#include "engine_fixture.h"
#include "model/filter_levels.h"

namespace velora {
namespace {

using test::EngineTest;

class CycleOrderTest : public EngineTest {
protected:
    // Applications front to back in the order given, one window each (titled like the app).
    std::vector<pid_t> applications(std::vector<std::string> names) {
        std::vector<pid_t> pids(names.size());
        std::vector<uint32_t> windows(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) std::tie(pids[i], windows[i]) = appWithWindow(names[i], names[i]);
        for (std::size_t i = names.size(); i-- > 0;) sim.focusWindow(windows[i]);
        return pids;
    }
    // Presses and holds until the panel is up.
    void pressAndShow(void (VLHandler::*action)()) {
        press(action);
        while (engine->pollingThreadsRunning()) nextPoll();
        ASSERT_TRUE(panel().isShown());
    }
    void quickRelease(void (VLHandler::*action)()) {
        hold();
        press(action);
        release();
        nextPoll();
        settle();
    }
};

// Forward starts on the second, backward on the last; steps of either direction walk one
// list, wrapping, and start no new session.
TEST_F(CycleOrderTest, ApplicationsWalkBothWaysAndWrapWithinOneList) {
    applications({"A", "B", "C"});
    start();
    hold();
    pressAndShow(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(panelTitles(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(selectedTitle(), "B");
    const uint64_t session = engine->sessionNumber();
    for (const char* expected : {"C", "A"}) {
        engine->KeyCycleAppForward();
        EXPECT_EQ(selectedTitle(), expected);
    }
    for (const char* expected : {"C", "B"}) {
        engine->KeyCycleAppBackward();
        EXPECT_EQ(selectedTitle(), expected);
    }
    EXPECT_EQ(engine->sessionNumber(), session);
    EXPECT_EQ(engine->pollingThreadsRunning(), 0);
    release();
    settle();

    hold();
    pressAndShow(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(selectedTitle(), "C");
}

TEST_F(CycleOrderTest, AQuickSwitchSkipsRefusedApplicationsInBothDirections) {
    std::vector<pid_t> p = applications({"A", "Hidden", "D", "E", "Blocked", "Launching"});
    sim.setApplicationHidden(p[1], true);
    sim.setFinishedLaunching(p[5], false);
    VLSettings::shared().ignoreHiddenApps = 1;
    start(); // loads the stored filters
    VLSettings::shared().updateFilters([](FilterDictionary& f) { f["Blocked"] = kFilterLevelBlockAll; });
    EXPECT_EQ(VLHandler::candidatesForMode(IKBController::kModeApplications).size(), 5u); // not the launching one

    quickRelease(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(activations(p[2], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);

    sim.clearCalls();
    sim.focusWindow(sim.windowsOf(p[0]).front());
    quickRelease(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(activations(p[3], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);
}

TEST_F(CycleOrderTest, AQuickSwitchInAListOfOneTakesTheCurrentOneOnlyBackward) {
    std::vector<pid_t> p = applications({"Only"});
    start();
    quickRelease(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(sim.countCalls("activate"), 0);
    quickRelease(&VLHandler::KeyCycleAppBackward);
    EXPECT_EQ(activations(p[0], "3"), 1);
}

TEST_F(CycleOrderTest, AQuickSwitchOverWindowsRaisesTheNextShownWindow) {
    std::vector<pid_t> p = applications({"A", "B", "C"});
    sim.updateWindow(sim.windowsOf(p[1]).front(), [](sim::WindowSpec& w) { w.minimized = true; });
    VLSettings::shared().ignoreMinimized = 1;
    start();
    sim.clearCalls();
    quickRelease(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(sim.focusedWindow(), sim.windowsOf(p[2]).front());
    // The list was fetched at most once for the whole walk.
    EXPECT_LE(sim.countCalls("windowList"), 1);
}

TEST_F(CycleOrderTest, TheActiveApplicationsWindowsAndNothingWithoutAnActiveApplication) {
    std::vector<pid_t> p = applications({"A", "B"});
    uint32_t second = sim.addWindow(p[0]);
    start();
    hold();
    pressAndShow(&VLHandler::KeyCycleAppWindowForward);
    EXPECT_EQ(panelTitles().size(), 2u);
    for (const auto& item : panel().browserData()) EXPECT_EQ(item->windowRef()->pid(), p[0]);
    release();
    settle();
    EXPECT_EQ(sim.focusedWindow(), second);

    sim.clearFocus();
    hold();
    pressAndShow(&VLHandler::KeyCycleAppWindowForward);
    ASSERT_EQ(panel().browserData().size(), 1u);
    EXPECT_TRUE(panel().browserData()[0]->isEmpty());
    EXPECT_FALSE(engine->shouldHandleKeys());
    EXPECT_FALSE(link.isRegistered(delegate.backward));
    EXPECT_FALSE(key(vk::Q)); // letters pass through
}

TEST_F(CycleOrderTest, TheBackwardKeyWorksOnlyDuringASwitchShownOrNot) {
    applications({"A", "B", "C"});
    start();
    engine->KeyUniversalBackward(); // no switch: nothing to move
    EXPECT_TRUE(view.selections.empty());

    hold();
    press(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(link.isRegistered(delegate.backward));
    EXPECT_EQ(link.takenKeys(), (std::vector<int64_t>{3, 4, 12, 13, 15, 31, 43, 46, 53}));
    engine->KeyUniversalBackward(); // during the delay, on the hidden panel
    EXPECT_EQ(selectedTitle(), "A");
    while (engine->pollingThreadsRunning()) nextPoll();
    engine->KeyUniversalBackward();
    EXPECT_EQ(selectedTitle(), "C");
    release();
    settle();
    EXPECT_FALSE(link.isRegistered(delegate.backward));
    EXPECT_TRUE(link.takenKeys().empty());
}

TEST_F(CycleOrderTest, AModeChangeWithEqualFullScreenSettingsRefillsTheVisiblePanel) {
    std::vector<pid_t> p = applications({"A", "B"});
    sim.addWindow(p[0]);
    start();
    hold();
    pressAndShow(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(panelTitles().size(), 3u);
    const int hides = window.orderOuts;

    press(&VLHandler::KeyCycleAppWindowForward);
    EXPECT_EQ(window.orderOuts, hides); // stayed up
    EXPECT_TRUE(panel().isShown());
    EXPECT_EQ(panel().mode(), IKBController::kModeApplicationWindows);
    EXPECT_EQ(panelTitles().size(), 2u); // A's windows, looked up at the press
    EXPECT_EQ(engine->pollingThreadsRunning(), 1);

    // Held through the delay, then released: the selection of the refilled panel is raised.
    while (engine->pollingThreadsRunning()) nextPoll();
    const uint32_t selected = uint32_t(panel().selectedElement()->windowRef()->wid());
    release();
    settle();
    EXPECT_EQ(sim.focusedWindow(), selected);
    EXPECT_FALSE(panel().isShown());
}

TEST_F(CycleOrderTest, AModeChangeThenAQuickReleaseSwitchesOnceAndTakesThePanelDown) {
    std::vector<pid_t> p = applications({"A", "B"});
    const uint32_t second = sim.addWindow(p[0]);
    start();
    hold();
    pressAndShow(&VLHandler::KeyCycleWindowForward);
    press(&VLHandler::KeyCycleAppWindowForward);
    sim.clearCalls();
    release();
    nextPoll();
    settle();
    // The quick switch raised A's second window and hid the panel; the release found it
    // hidden and did nothing more.
    EXPECT_EQ(sim.focusedWindow(), second);
    EXPECT_EQ(sim.countCalls("setFrontmost"), 2); // one raise
    EXPECT_FALSE(panel().isShown());
    EXPECT_TRUE(panel().browserData().empty());
    EXPECT_FALSE(engine->shouldHandleKeys());
}

TEST_F(CycleOrderTest, AModeChangeWithDifferentFullScreenSettingsHidesFirstAndShowsAfterTheDelay) {
    applications({"A", "B"});
    VLSettings::shared().fullScreenApps = 1;
    start();
    hold();
    pressAndShow(&VLHandler::KeyCycleWindowForward);
    EXPECT_EQ(window.orderFronts, 1);
    press(&VLHandler::KeyCycleAppForward);
    EXPECT_EQ(window.orderOuts, 1);
    EXPECT_FALSE(panel().isShown());
    while (engine->pollingThreadsRunning()) nextPoll();
    EXPECT_TRUE(view.isInFullScreenMode());
    EXPECT_TRUE(panel().isShown());
    EXPECT_EQ(window.orderFronts, 1);
}

TEST_F(CycleOrderTest, APressDuringTheDelayStartsAFurtherSwitchThatAloneDecides) {
    std::vector<pid_t> p = applications({"A", "B", "C"});
    start();
    hold();
    press(&VLHandler::KeyCycleAppForward);
    nextPoll();
    engine->KeyCycleAppForward(); // a further switch, the selection back at its start
    EXPECT_EQ(selectedTitle(), "B");
    release();
    settle();
    // One switch, not one per press.
    EXPECT_EQ(activations(p[1], "3"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1);
    EXPECT_TRUE(panel().browserData().empty());
}

} // namespace
} // namespace velora
