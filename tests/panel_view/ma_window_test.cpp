// The panel window: its flags whatever the interface file says, hidden after loading, the
// background for the compositing state. Activation
// on a real desktop is checked by the X11 suite.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>

#include <memory>

#include "panel/cover_flow_loader.h"
#include "platform/platform.h"
#include "ui_titled_panel.h"

namespace velora {
namespace {

// A window server that only knows whether a compositor runs.
struct CompositingOnly : WindowServerPort {
    bool compositing = false;
    WindowInfoList copyWindowInfo(uint32_t, uint32_t) override { return nullptr; }
    bool windowBounds(uint32_t, Rect&) override { return false; }
    int32_t windowSpace(uint32_t) override { return 0; }
    std::vector<uint32_t> spaceWindowList(int32_t) override { return {}; }
    QImage captureWindow(uint32_t, Size) override { return {}; }
    int32_t windowLevelForKey(int) override { return 0; }
    bool compositingActive() override { return compositing; }
};

class PanelWindowTest : public ::testing::Test {
  protected:
    PanelWindowTest() {
        ports.windowServer = &server;
        installPlatform(&ports);
        outlets = loadCoverFlow();
        owner.reset(outlets.window);
    }
    ~PanelWindowTest() override {
        owner.reset();
        installPlatform(nullptr);
    }

    CompositingOnly server;
    Platform ports;
    CoverFlowOutlets outlets;
    std::unique_ptr<MAWindow> owner;
};

bool isPanel(const QWidget& window) {
    return window.windowFlags() == MAWindow::panelFlags() &&
           window.testAttribute(Qt::WA_ShowWithoutActivating);
}

TEST_F(PanelWindowTest, APanelWhateverTheInterfaceFileSaysHiddenUntilShownAndNeverGrabbing) {
    EXPECT_TRUE(isPanel(*outlets.window));
    EXPECT_FALSE(outlets.window->isVisible());
    EXPECT_GE(outlets.window->layout()->indexOf(outlets.browserView), 0);

    auto window = std::make_unique<MAWindow>();
    Ui::TitledPanel ui;
    ui.setupUi(window.get());
    ASSERT_TRUE(window->windowFlags() & Qt::WindowTitleHint) << "the file asked for a title bar";
    window->awakeFromNib();
    EXPECT_TRUE(isPanel(*window));
    EXPECT_FALSE(window->isVisible());
    // Flags set later are put right when the window shows.
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint);
    window->makeKeyAndOrderFront();
    QApplication::processEvents();
    EXPECT_TRUE(isPanel(*window));
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
}

TEST_F(PanelWindowTest, BackgroundFollowsTheCompositorAtEachShowingFromHidden) {
    MAWindow& window = *outlets.window;
    window.setFrame(Rect{0, 0, 300, 200}, true);

    // No compositor: opaque, the corners cut by the window's shape.
    EXPECT_FALSE(window.isTranslucent());
    EXPECT_FALSE(window.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window.mask().contains(QPoint(150, 100)));
    QImage opaque(300, 200, QImage::Format_ARGB32);
    opaque.fill(Qt::transparent);
    window.render(&opaque, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    EXPECT_EQ(qAlpha(opaque.pixel(150, 10)), 255);

    // A compositor that starts later is used from the next showing from hidden.
    server.compositing = true;
    window.makeKeyAndOrderFront();
    EXPECT_TRUE(window.isTranslucent());
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.mask().isEmpty());
    window.orderOut();
    server.compositing = false;
    window.makeKeyAndOrderFront();
    EXPECT_FALSE(window.isTranslucent());
    window.orderOut();
}

} // namespace
} // namespace velora
