// The panel controller: building the items, the selection, showing and hiding, and the item
// commands.
#include "panel_fixture.h"

namespace velora {
namespace {

using test::PanelTest;

class ControllerTest : public PanelTest {
protected:
    // Three applications A, B, C with one window each; returns their pids and windows.
    struct Three {
        pid_t pid[3];
        uint32_t window[3];
    };
    Three three() {
        Three t{};
        const char* names[] = {"A", "B", "C"};
        for (int i = 0; i < 3; ++i) std::tie(t.pid[i], t.window[i]) = appWithWindow(names[i], names[i]);
        return t;
    }
    VLCandidateList windows(const Three& t) {
        return {windowRecord(t.pid[0], t.window[0]), windowRecord(t.pid[1], t.window[1]),
                windowRecord(t.pid[2], t.window[2])};
    }
};

TEST_F(ControllerTest, ItemsKeepTheListsOrderSkipRefusedAndForeignMembersAndStartOnTheSecond) {
    Three t = three();
    // The rules refuse window B, the session refuses application C.
    VLSettings::shared().ignoreMinimized = 1;
    sim.updateWindow(t.window[1], [](sim::WindowSpec& w) { w.minimized = true; });
    session.refused.insert(t.pid[2]);
    VLCandidateList mixed = windows(t);
    mixed.insert(mixed.begin() + 1, app(t.pid[0]));
    mixed.insert(mixed.begin() + 2, std::monostate{});
    mixed.push_back(app(t.pid[2]));
    mixed.push_back(RunningApplicationRef());
    mixed.push_back(app(t.pid[1]));

    controller->populateItems(mixed);
    EXPECT_EQ(itemTitles(), (std::vector<std::string>{"A", "A", "C", "B"}));
    EXPECT_TRUE(controller->browserData()[0]->isWindow());
    EXPECT_FALSE(controller->browserData()[1]->isWindow());
    EXPECT_EQ(view.selectedIndex(), 1u);
    ASSERT_TRUE(controller->selectedElement());
    EXPECT_EQ(controller->selectedElement(), controller->browserData()[1]);

    // Windows A and C only: C is selected.
    controller->populateItems(windows(t));
    EXPECT_EQ(itemTitles(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(controller->selectedElement()->title(), "C");
}

TEST_F(ControllerTest, TheWindowListIsFetchedOnceAndOnlyWhenARecordNeedsMatching) {
    Three t = three();
    VLCandidateList matched = windows(t);
    sim.clearCalls();
    controller->populateItems(matched);
    EXPECT_EQ(sim.countCalls("windowList"), 0);

    VLCandidateList fresh;
    for (int i = 0; i < 3; ++i)
        fresh.emplace_back(VLElement::elementWithElementRef(AXElement{AXElement::Kind::Window, t.pid[i], t.window[i]}));
    controller->populateItems(fresh);
    EXPECT_EQ(sim.countCalls("windowList"), 1);
    EXPECT_EQ(controller->browserData().size(), 3u);
}

TEST_F(ControllerTest, NothingToShowGivesTheEmptyItemAndASingleItemIsSelected) {
    controller->populateItems({});
    ASSERT_EQ(controller->browserData().size(), 1u);
    EXPECT_TRUE(controller->browserData()[0]->isEmpty());
    // Index 1 was asked for; the selection names the only item.
    EXPECT_EQ(view.selections.back(), 1u);
    EXPECT_EQ(controller->selectedElement(), controller->browserData()[0]);
}

TEST_F(ControllerTest, TheSelectionWrapsBothWays) {
    Three t = three();
    controller->populateItems(windows(t));
    controller->populateItems({app(t.pid[0]), app(t.pid[1]), app(t.pid[2])});
    view.setSelectedIndex(2);
    controller->selectNext();
    EXPECT_EQ(view.selectedIndex(), 0u);
    controller->selectPrevious();
    EXPECT_EQ(view.selectedIndex(), 2u);
    controller->selectPrevious();
    EXPECT_EQ(view.selectedIndex(), 1u);
    controller->selectLast();
    EXPECT_EQ(view.selectedIndex(), 2u);

    controller->clearItems();
    controller->selectNext();
    controller->selectPrevious();
    EXPECT_EQ(controller->selectedElement(), nullptr);
    controller->activateCurrentIndex(); // acts on nothing
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(ControllerTest, ClearingDropsEveryPictureAndFlushesTheViewCacheThreeTimes) {
    Three t = three();
    controller->populateItems(windows(t));
    finishPictures();
    std::vector<IKBBrowserItemRef> items = controller->browserData();
    for (const auto& item : items) ASSERT_TRUE(item->image());
    const int frees = view.cacheFrees;
    controller->clearItems();
    EXPECT_EQ(view.cacheFrees, frees + 3);
    EXPECT_TRUE(controller->browserData().empty());
    for (const auto& item : items) EXPECT_FALSE(item->image());
    EXPECT_EQ(view.count(), 0);
}

TEST_F(ControllerTest, ShowingInAWindowRecordsTheApplicationInFrontAndHidingClears) {
    Three t = three();
    sim.focusWindow(t.window[1]);
    VLSettings::shared().width = 637;
    VLSettings::shared().height = 437;
    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems(windows(t));

    controller->show();
    EXPECT_TRUE(controller->isShown());
    EXPECT_EQ(window.frame_, (Rect{40, 30, 637, 437}));
    EXPECT_TRUE(window.displayed);
    EXPECT_EQ(window.centerings, 1);
    ASSERT_TRUE(session.previouslyActive);
    EXPECT_EQ(session.previouslyActive->processIdentifier(), t.pid[1]);
    EXPECT_EQ(view.fullScreenEntries, 0);

    // Shown again while up (a mode change): the application to return to stays.
    sim.focusWindow(t.window[2]);
    controller->show();
    EXPECT_EQ(session.previouslyActive->processIdentifier(), t.pid[1]);

    controller->hide();
    EXPECT_FALSE(controller->isShown());
    EXPECT_TRUE(controller->browserData().empty());
    EXPECT_EQ(window.orderOuts, 1);
}

TEST_F(ControllerTest, FullScreenGoesThroughTheViewAndLeavesTheWindowAlone) {
    VLSettings::shared().fullScreenApps = 1;
    controller->setMode(IKBController::kModeApplications);
    EXPECT_TRUE(controller->shouldFullScreen());
    controller->show();
    EXPECT_TRUE(controller->isShown());
    EXPECT_EQ(view.fullScreenScreen, 0);
    EXPECT_EQ(view.fullScreenOptions, 298u);
    controller->hide();
    EXPECT_FALSE(controller->isShown());
    EXPECT_EQ(view.fullScreenExits, 1);
    EXPECT_EQ(window.frameChanges + window.orderFronts + window.orderOuts, 0);

    // The windows' setting applies in the window modes.
    controller->setMode(IKBController::kModeApplicationWindows);
    EXPECT_FALSE(controller->shouldFullScreen());

    // The size preview always uses the window.
    controller->showForResize();
    EXPECT_EQ(window.alpha, 0.5);
    EXPECT_TRUE(window.visible);
    controller->hideForResize();
    EXPECT_EQ(window.alpha, 1.0);
    EXPECT_FALSE(window.visible);
}

TEST_F(ControllerTest, QuittingThroughAWindowFadesEveryItemOfTheApplication) {
    sim::ApplicationSpec options;
    options.bundleIdentifier = "org.example.two";
    options.quitsWhenAsked = false;
    pid_t two = sim.addApplication(options);
    uint32_t w1 = sim.addWindow(two), w2 = sim.addWindow(two);
    auto [one, w3] = appWithWindow("org.example.one", "One");
    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems({windowRecord(two, w1), windowRecord(one, w3), windowRecord(two, w2)});
    finishPictures();
    view.setSelectedIndex(0);

    controller->quitApp(); // two items of that application: both fade, the selection stays
    EXPECT_TRUE(controller->browserData()[0]->isTransparent());
    EXPECT_FALSE(controller->browserData()[1]->isTransparent());
    EXPECT_TRUE(controller->browserData()[2]->isTransparent());
    EXPECT_EQ(view.selectedIndex(), 0u);
    EXPECT_EQ(sim.countCalls("terminate"), 1);

    view.setSelectedIndex(1);
    controller->forceQuitApp(); // one item: it fades and the selection moves on
    EXPECT_TRUE(controller->browserData()[1]->isTransparent());
    EXPECT_EQ(view.selectedIndex(), 2u);
    EXPECT_FALSE(sim.isApplicationRunning(one));
}

TEST_F(ControllerTest, TheFinderIsNeverQuitAndAHiddenApplicationIsNotFadedTwice) {
    sim::ApplicationSpec finder;
    finder.bundleIdentifier = "com.apple.finder";
    pid_t f = sim.addApplication(finder);
    sim::ApplicationSpec hidden;
    hidden.bundleIdentifier = "org.example.hidden";
    hidden.hidden = true;
    pid_t h = sim.addApplication(hidden);
    controller->setMode(IKBController::kModeApplications);
    controller->populateItems({app(f), app(h)});
    view.setSelectedIndex(0);

    controller->quitApp();
    controller->forceQuitApp();
    EXPECT_EQ(sim.beeps(), 2);
    EXPECT_EQ(sim.countCalls("terminate") + sim.countCalls("forceTerminate"), 0);
    EXPECT_FALSE(controller->browserData()[0]->isTransparent());

    view.setSelectedIndex(1);
    ImageRef faded = controller->browserData()[1]->image();
    controller->hideApp();
    EXPECT_EQ(sim.countCalls("hide"), 1);
    EXPECT_EQ(controller->browserData()[1]->image(), faded);
    EXPECT_EQ(view.selectedIndex(), 1u);
}

TEST_F(ControllerTest, MinimiseAndCloseActOnTheWindowOrOnEveryWindowOfTheApplication) {
    sim::ApplicationSpec options;
    options.bundleIdentifier = "org.example.two";
    pid_t two = sim.addApplication(options);
    uint32_t w1 = sim.addWindow(two), w2 = sim.addWindow(two);
    sim::WindowSpec fixed;
    fixed.minimizeEnabled = false;
    fixed.closeEnabled = false;
    auto [other, w3] = appWithWindow("org.example.other", "Fixed", fixed);
    VLWindowManager::sharedManager(); // lists every window

    controller->setMode(IKBController::kModeApplications);
    controller->populateItems({app(other), app(two)});
    sim.clearCalls();
    controller->minimizeWindow(); // on "two", selected at index 1
    EXPECT_TRUE(sim.window(w1).minimized);
    EXPECT_TRUE(sim.window(w2).minimized);
    std::vector<std::string> timeouts;
    for (const auto& call : sim.calls())
        if (call.kind == "messagingTimeout") timeouts.push_back(call.detail);
    ASSERT_EQ(timeouts.size(), 2u);
    EXPECT_EQ(std::stof(timeouts[0]), 1.0f);
    EXPECT_EQ(std::stof(timeouts[1]), 0.2f);
    EXPECT_TRUE(controller->browserData()[1]->isTransparent());
    EXPECT_EQ(view.selectedIndex(), 0u); // faded with advance: wrapped to the first

    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems({windowRecord(other, w3), windowRecord(two, w1)});
    view.setSelectedIndex(0);
    controller->minimizeWindow();
    controller->closeWindow();
    EXPECT_EQ(sim.beeps(), 2);
    EXPECT_TRUE(sim.windowExists(w3));

    controller->setMode(IKBController::kModeApplications);
    controller->populateItems({app(other), app(two)});
    controller->closeWindow();
    EXPECT_FALSE(sim.windowExists(w1));
    EXPECT_FALSE(sim.windowExists(w2));
    EXPECT_EQ(sim.countCalls("messagingTimeout"), 2); // closing changes no time-out
}

} // namespace
} // namespace velora
