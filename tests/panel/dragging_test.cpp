// Files dragged onto the panel in each mode.
#include "panel_fixture.h"

namespace velora {
namespace {

using test::PanelTest;

class DraggingTest : public PanelTest {
protected:
    DraggingInfo filesAt(double x, std::vector<std::string> files = {"/home/user/a.txt"}) {
        DraggingInfo info;
        info.hasFilenames = true;
        info.filenames = std::move(files);
        info.location = Point{x, 20};
        return info;
    }
    void twoApplications() {
        sim::ApplicationSpec options;
        options.bundleIdentifier = "org.example.viewer";
        options.executablePath = "/usr/bin/viewer";
        viewer = sim.addApplication(options);
        options.bundleIdentifier = "org.example.editor";
        options.executablePath = "/usr/bin/editor";
        editor = sim.addApplication(options);
        controller->setMode(IKBController::kModeApplications);
        controller->populateItems({app(viewer), app(editor)});
    }
    pid_t viewer = 0, editor = 0;
};

TEST_F(DraggingTest, OnlyFileNamesFromElsewhereAreAcceptedAtEntry) {
    DraggingInfo text;
    text.hasFilenames = false;
    for (int32_t mode : {1, 2, 3}) {
        controller->setMode(mode);
        EXPECT_EQ(controller->draggingEntered(text), kDragOperationNone);
        EXPECT_EQ(controller->draggingEntered(filesAt(0)), kDragOperationEvery);
    }
    DraggingInfo own = filesAt(0);
    own.source = controller.get();
    EXPECT_EQ(controller->draggingEntered(own), kDragOperationNone);
    EXPECT_TRUE(controller->prepareForDragOperation(own));
}

TEST_F(DraggingTest, HoldingOverTheSelectedWindowEndsTheSwitchAtTheFiftyFirstUpdate) {
    auto [a, wa] = appWithWindow("org.example.a", "A");
    auto [b, wb] = appWithWindow("org.example.b", "B");
    controller->setMode(IKBController::kModeAllWindows);
    controller->populateItems({windowRecord(a, wa), windowRecord(b, wb)});
    controller->draggingEntered(filesAt(150));

    // Over the other cell nothing ever fires, and the count starts again.
    for (int i = 0; i < 80; ++i) ASSERT_EQ(controller->draggingUpdated(filesAt(50)), kDragOperationEvery);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(controller->draggingUpdated(filesAt(150)), kDragOperationEvery);
    EXPECT_EQ(controller->dragCount(), 50);
    sim.pump();
    EXPECT_EQ(session.ends.load(), 0);

    EXPECT_EQ(controller->draggingUpdated(filesAt(150)), kDragOperationNone);
    EXPECT_EQ(controller->dragCount(), 0);
    EXPECT_EQ(view.alpha, 0.0);
    EXPECT_EQ(session.ends.load(), 0); // after this update has returned
    sim.pump();
    EXPECT_EQ(session.ends.load(), 1);
    EXPECT_EQ(view.alpha, 1.0);
    EXPECT_EQ(view.alphas, (std::vector<double>{0.0, 1.0}));

    // Dropping onto the panel in a window mode does nothing and is accepted.
    EXPECT_TRUE(controller->performDragOperation(filesAt(150)));
    EXPECT_EQ(sim.countCalls("openFile"), 0);
    EXPECT_EQ(session.unregisters, 0);
}

TEST_F(DraggingTest, DroppingFilesOnAnApplicationOpensThemWithItAndTakesThePanelDown) {
    twoApplications();
    controller->show();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(controller->draggingUpdated(filesAt(150)), kDragOperationEvery);
    sim.pump();
    EXPECT_EQ(session.ends.load(), 0);

    sim.clearCalls();
    EXPECT_TRUE(controller->performDragOperation(filesAt(50, {"/home/user/1", "/home/user/2", "/home/user/3"})));
    EXPECT_EQ(session.unregisters, 1);
    std::vector<std::string> opened;
    for (const auto& call : sim.calls()) {
        if (call.kind == "activate") {
            EXPECT_EQ(call.pid, viewer);
            EXPECT_EQ(call.detail, "3");
        }
        if (call.kind == "openFile") opened.push_back(call.detail);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"/home/user/1\n/usr/bin/viewer", "/home/user/2\n/usr/bin/viewer",
                                                "/home/user/3\n/usr/bin/viewer"}));
    EXPECT_EQ(sim.countCalls("activate"), 1);
    EXPECT_EQ(session.switchEnds, 1);
    EXPECT_FALSE(controller->isShown());
    EXPECT_TRUE(controller->browserData().empty());
}

TEST_F(DraggingTest, ADropOverNoCellActsOnNothing) {
    twoApplications();
    controller->show();
    sim.clearCalls();
    EXPECT_FALSE(controller->performDragOperation(filesAt(-5)));
    EXPECT_FALSE(controller->performDragOperation(filesAt(450)));
    EXPECT_TRUE(sim.calls().empty());
    EXPECT_EQ(session.unregisters, 0);
    EXPECT_TRUE(controller->isShown());
    EXPECT_EQ(controller->browserData().size(), 2u);
}

TEST_F(DraggingTest, ADropOnTheEmptyItemOpensFilesWithTheirOwnApplications) {
    controller->setMode(IKBController::kModeApplications);
    controller->populateItems({});
    EXPECT_TRUE(controller->performDragOperation(filesAt(10, {"/home/user/x"})));
    ASSERT_EQ(sim.countCalls("openFile"), 1);
    EXPECT_EQ(sim.calls().back().detail, "/home/user/x\n");
}

} // namespace
} // namespace velora
