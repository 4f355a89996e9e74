// Files dragged onto the panel: held over a window, dropped on an application.
#include "panel_fixture.h"

namespace velora {
namespace {

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
    EXPECT_EQ(controller->dragCount(), 0);
    EXPECT_EQ(view.alpha, 0.0);
    EXPECT_EQ(session.ends.load(), 0); // not before this update has returned
    sim.pump();
    EXPECT_EQ(session.ends.load(), 1);
    EXPECT_EQ(view.alpha, 1.0);

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
    EXPECT_FALSE(controller->performDragOperation(filesAt(-5)));
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
