// The panel window: its background without a compositor, and the panel where the desktop
// shows it from an image (Wayland). Its flags and activation on a real desktop are checked by
// the X11 suite, the layer surface on a real sway by scripts/test-wayland.sh.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWindow>

#include <memory>
#include <vector>

#include "panel/cover_flow_loader.h"
#include "platform/platform.h"

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

// The desktop's panel surface: a 1280x800 output at scale 2, recording what it is given.
struct RecordingSurface : PanelSurfacePort {
    std::optional<PanelOutput> panelOutput() override { return PanelOutput{Rect{0, 0, 1280, 800}, 2}; }
    void present(const QImage& image) override { images.push_back(image); }
    void withdraw() override { ++withdrawn; }
    std::vector<QImage> images;
    int withdrawn = 0;
};

class PanelWindowTest : public ::testing::Test {
  protected:
    ~PanelWindowTest() override {
        owner.reset();
        installPlatform(nullptr);
    }
    // The panel as the program loads it, shown through the desktop's surface when given one.
    void load(PanelSurfacePort* surface = nullptr) {
        ports.windowServer = &server;
        ports.panelSurface = surface;
        installPlatform(&ports);
        outlets = loadCoverFlow();
        owner.reset(outlets.window);
    }

    CompositingOnly server;
    RecordingSurface surface;
    Platform ports;
    CoverFlowOutlets outlets;
    std::unique_ptr<MAWindow> owner;
};

TEST_F(PanelWindowTest, WithoutACompositorThePanelIsOpaqueWithItsCornersCut) {
    load();
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
    // A compositor started later is taken up at the next showing: Screens.UnderACompositor...
}

TEST_F(PanelWindowTest, OnASurfaceDrawnAtTheOutputsScaleCentredRedrawnOnChangeWithoutAWindow) {
    server.compositing = true;
    load(&surface);
    PanelWindow& panel = *outlets.panel;
    ASSERT_NE(static_cast<void*>(&panel), static_cast<void*>(static_cast<PanelWindow*>(outlets.window)));

    panel.setFrame(Rect{0, 0, 400, 200}, true);
    panel.centerOnScreen(panel.screenFor(std::nullopt));
    EXPECT_EQ(panel.frame(), (Rect{440, 300, 400, 200}));
    panel.makeKeyAndOrderFront();
    ASSERT_EQ(surface.images.size(), 1u);
    const QImage& image = surface.images[0];
    EXPECT_EQ(image.size(), QSize(800, 400));
    EXPECT_EQ(image.devicePixelRatio(), 2.0);
    EXPECT_GT(qAlpha(image.pixel(400, 200)), 0) << "the plate is drawn";
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "its corners are round";
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(outlets.window->windowHandle() && outlets.window->windowHandle()->isVisible());

    outlets.browserView->update();
    for (int i = 0; i < 50 && surface.images.size() < 2; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(surface.images.size(), 2u) << "a change of the view draws the panel again";

    panel.orderOut();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(surface.withdrawn, 1);
}

} // namespace
} // namespace velora
