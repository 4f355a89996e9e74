// The panel controller: building the items, the selection, showing and hiding, the item
// commands, and files dragged onto the panel (held over a window, dropped on an application).
#include "panel_fixture.h"

namespace velora {
namespace {

class ControllerTest : public test::PanelTest {};

TEST_F(ControllerTest, ItemsKeepTheListsOrderSkipRefusedAndForeignMembersAndTheSelectionWraps) {
    auto w = appsWithWindows({"A", "B", "C"});
    // The rules refuse window B, the session refuses application C.
    VLSettings::shared().ignoreMinimized = 1;
    sim.updateWindow(w[1].window, [](sim::WindowSpec& spec) { spec.minimized = true; });
    session.refused.insert(w[2].pid);
    VLCandidateList mixed = windowRecords(w);
    mixed.insert(mixed.begin() + 1, app(w[0].pid));
    mixed.insert(mixed.begin() + 2, std::monostate{});
    mixed.push_back(app(w[2].pid));
    mixed.push_back(RunningApplicationRef());
    mixed.push_back(app(w[1].pid));

    controller->populateItems(mixed);
    std::vector<std::string> titles;
    for (const auto& i : controller->browserData())
        titles.push_back(i->title().value_or(""));
    EXPECT_EQ(titles, (std::vector<std::string>{"A", "org.example.A", "C", "org.example.B"}));
    EXPECT_EQ(controller->selectedElement(), item(1)); // the one behind the front application
    view.setSelectedIndex(3);
    controller->selectNext();
    EXPECT_EQ(view.selectedIndex(), 0u);
    controller->selectPrevious();
    EXPECT_EQ(view.selectedIndex(), 3u);

    // Nothing to show: the empty item, selected although index 1 was asked for.
    controller->populateItems({});
    ASSERT_EQ(controller->browserData().size(), 1u);
    EXPECT_TRUE(item(0)->isEmpty());
    EXPECT_EQ(controller->selectedElement(), item(0));
    // Nothing at all: nothing is selected or acted on.
    controller->clearItems();
    controller->selectNext();
    controller->selectPrevious();
    EXPECT_EQ(controller->selectedElement(), nullptr);
    controller->activateCurrentIndex();
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(ControllerTest, ShowingRecordsTheApplicationInFrontOnceAndHidingEmptiesThePanel) {
    auto w = appsWithWindows({"A", "B", "C"});
    sim.focusWindow(w[1].window);
    VLSettings::shared().width = 637;
    VLSettings::shared().height = 437;
    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems(windowRecords(w));

    window.screenIndex = 1;
    controller->show();
    EXPECT_EQ(window.frame_, (Rect{40, 30, 637, 437}));
    // Placed on the monitor of the focused window, whatever the primary monitor is.
    EXPECT_EQ(window.askedFor, (Rect{100, 100, 640, 480}));
    EXPECT_EQ(window.centeredOn, 1);
    ASSERT_TRUE(session.previouslyActive);
    EXPECT_EQ(session.previouslyActive->processIdentifier(), w[1].pid);
    // Shown again while up (a mode change): the application to return to stays.
    sim.focusWindow(w[2].window);
    controller->show();
    EXPECT_EQ(session.previouslyActive->processIdentifier(), w[1].pid);

    controller->hide();
    EXPECT_FALSE(controller->isShown());
    EXPECT_TRUE(controller->browserData().empty());
}

TEST_F(ControllerTest, WindowCommandsFadeEveryItemOfTheApplicationAndBeepWhereTheWindowRefuses) {
    sim::ApplicationSpec options;
    options.quitsWhenAsked = false;
    pid_t two = sim.addApplication(options);
    uint32_t w1 = sim.addWindow(two), w2 = sim.addWindow(two);
    sim::WindowSpec fixed;
    fixed.minimizeEnabled = fixed.closeEnabled = false;
    auto [one, w3] = appWithWindow("org.example.one", "One", fixed);
    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems({windowRecord(two, w1), windowRecord(one, w3), windowRecord(two, w2)});
    finishPictures();
    view.setSelectedIndex(0);

    controller->quitApp(); // two items of that application: both fade, the selection stays
    EXPECT_EQ(fadedItems(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(view.selectedIndex(), 0u);
    EXPECT_EQ(sim.countCalls("terminate"), 1);

    view.setSelectedIndex(1);
    controller->minimizeWindow();
    controller->closeWindow();
    EXPECT_EQ(sim.beeps(), 2);
    EXPECT_FALSE(sim.window(w3).minimized);
    EXPECT_EQ(fadedItems(), (std::vector<bool>{true, false, true}));
    controller->forceQuitApp(); // one item: it fades and the selection moves on
    EXPECT_TRUE(item(1)->isTransparent());
    EXPECT_EQ(view.selectedIndex(), 2u);
    EXPECT_FALSE(sim.isApplicationRunning(one));
}

TEST_F(ControllerTest, ApplicationCommandsActOnEveryWindowOfTheApplicationAndFadeItsItemOnce) {
    sim::ApplicationSpec spec;
    spec.bundleIdentifier = "org.example.hidden";
    spec.hidden = true;
    pid_t hidden = sim.addApplication(spec);
    pid_t two = sim.addApplication({});
    uint32_t w1 = sim.addWindow(two), w2 = sim.addWindow(two);
    sim::WindowSpec fixed;
    fixed.minimizeEnabled = false;
    auto [one, w3] = appWithWindow("org.example.one", "One", fixed);
    VLWindowManager::sharedManager(); // lists every window
    controller->setMode(IKBController::kModeApplications);
    controller->populateItems({app(hidden), app(hidden), app(two)});
    // The hidden application's items come faded, and making them moved no selection.
    EXPECT_EQ(fadedItems(), (std::vector<bool>{true, true, false}));
    EXPECT_NEAR(qAlpha(middle(item(1)->image())), 128, 2);
    EXPECT_EQ(view.selections, std::vector<unsigned>{1});

    view.setSelectedIndex(1);
    const ImageRef faded = item(1)->image();
    controller->hideApp(); // already faded: not again, and the selection stays
    EXPECT_EQ(sim.countCalls("hide"), 1);
    EXPECT_EQ(item(1)->image(), faded);
    EXPECT_EQ(view.selectedIndex(), 1u);

    view.setSelectedIndex(2);
    controller->minimizeWindow();
    EXPECT_TRUE(sim.window(w1).minimized && sim.window(w2).minimized);
    EXPECT_EQ(fadedItems(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(view.selectedIndex(), 0u); // faded with advance: wrapped to the first
    view.setSelectedIndex(2);
    controller->closeWindow();
    EXPECT_FALSE(sim.windowExists(w1) || sim.windowExists(w2));

    // No window of the application can be minimised: a beep, and nothing fades.
    controller->populateItems({app(one)});
    view.setSelectedIndex(0);
    controller->minimizeWindow();
    EXPECT_EQ(sim.beeps(), 1);
    EXPECT_FALSE(sim.window(w3).minimized);
    EXPECT_EQ(fadedItems(), std::vector<bool>{false});
}

// With re-opening on, activating an application's item also starts its program again (a new
// window where the program makes one when started while it runs).
TEST_F(ControllerTest, ActivatingAnApplicationReOpensItOnlyWhenTheSettingsAsk) {
    auto w = appsWithWindows({"Editor"})[0];
    IKBBrowserItemRef editor = IKBBrowserItem::itemWithRunningApplication(app(w.pid), *controller);
    editor->activate();
    EXPECT_EQ(sim.countCalls("launch"), 0);
    VLSettings::shared().shouldReOpen = 1;
    sim.clearCalls();
    editor->activate();
    EXPECT_EQ(sim.countCalls("activate"), 1);
    ASSERT_EQ(sim.countCalls("launch"), 1);
    EXPECT_EQ(sim.calls().back().detail.rfind("/usr/bin/org.example.Editor ", 0), 0u);
}

class DraggingTest : public test::PanelTest {
  protected:
    // The recording view has cells 100 points wide from x = 0.
    static DraggingInfo filesAt(double x, std::vector<std::string> files = {"/home/user/a.txt"}) {
        DraggingInfo info;
        info.hasFilenames = true;
        info.filenames = std::move(files);
        info.location = Point{x, 20};
        return info;
    }
};

TEST_F(DraggingTest, OnlyFilesFromElsewhereEnterAndHoldingOverTheSelectedWindowEndsTheSwitch) {
    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems(windowRecords(appsWithWindows({"A", "B"})));
    DraggingInfo own = filesAt(150);
    own.source = controller.get();
    EXPECT_EQ(controller->draggingEntered(DraggingInfo{}), kDragOperationNone);
    EXPECT_EQ(controller->draggingEntered(own), kDragOperationNone);
    EXPECT_EQ(controller->draggingEntered(filesAt(150)), kDragOperationEvery);

    // Over the other cell nothing ever fires, and the count starts again; the 51st update over
    // the selected one ends the switch.
    for (int i = 0; i < 80; ++i)
        ASSERT_EQ(controller->draggingUpdated(filesAt(50)), kDragOperationEvery);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(controller->draggingUpdated(filesAt(150)), kDragOperationEvery);
    sim.pump();
    EXPECT_EQ(session.ends.load(), 0);

    EXPECT_EQ(controller->draggingUpdated(filesAt(150)), kDragOperationNone);
    EXPECT_EQ(session.ends.load(), 0); // not before this update has returned
    sim.pump();
    EXPECT_EQ(session.ends.load(), 1);
    EXPECT_EQ(view.alpha, 1.0) << "the view is opaque again for the next switch";

    // Dropping onto the panel in a window mode does nothing and is accepted.
    EXPECT_TRUE(controller->performDragOperation(filesAt(150)));
    EXPECT_EQ(sim.countCalls("openFile"), 0);
}

TEST_F(DraggingTest, DroppingFilesOnAnApplicationOpensThemWithItAndTakesThePanelDown) {
    sim::ApplicationSpec spec;
    spec.executablePath = "/usr/bin/viewer";
    pid_t viewer = sim.addApplication(spec);
    controller->setMode(IKBController::kModeApplications);
    controller->populateItems({app(viewer), app(viewer)});
    controller->show();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(controller->draggingUpdated(filesAt(150)), kDragOperationEvery);
    sim.pump();
    EXPECT_EQ(session.ends.load(), 0);

    // Over no cell: refused, nothing changes.
    sim.clearCalls();
    EXPECT_FALSE(controller->performDragOperation(filesAt(450)));
    EXPECT_TRUE(sim.calls().empty());
    EXPECT_TRUE(controller->isShown());

    EXPECT_TRUE(controller->performDragOperation(filesAt(50, {"/home/user/1", "/home/user/2"})));
    EXPECT_EQ(session.unregisters, 1);
    std::vector<std::string> opened;
    for (const auto& call : sim.calls())
        if (call.kind == "openFile") opened.push_back(call.detail);
    EXPECT_EQ(opened,
              (std::vector<std::string>{"/home/user/1\n/usr/bin/viewer", "/home/user/2\n/usr/bin/viewer"}));
    EXPECT_EQ(sim.countCalls("activate"), 1);
    EXPECT_EQ(session.switchEnds, 1);
    EXPECT_FALSE(controller->isShown());
    EXPECT_TRUE(controller->browserData().empty());

    // On the empty item each file opens with its own application.
    controller->populateItems({});
    EXPECT_TRUE(controller->performDragOperation(filesAt(10, {"/home/user/x"})));
    EXPECT_EQ(sim.calls().back().detail, "/home/user/x\n");
}

} // namespace
} // namespace velora
