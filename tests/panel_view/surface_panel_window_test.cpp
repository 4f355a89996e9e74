// The panel where the desktop shows it from an image (Wayland): the same panel widget, drawn
// at the output's scale, centred on it, drawn again when the view changes, never a window of
// its own. The layer surface on a real sway is checked by scripts/test-wayland.sh.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWindow>

#include <memory>
#include <vector>

#include "panel/cover_flow_loader.h"
#include "platform/platform.h"

namespace velora {
namespace {

struct Compositing : WindowServerPort {
    WindowInfoList copyWindowInfo(uint32_t, uint32_t) override { return nullptr; }
    bool windowBounds(uint32_t, Rect&) override { return false; }
    int32_t windowSpace(uint32_t) override { return 0; }
    std::vector<uint32_t> spaceWindowList(int32_t) override { return {}; }
    QImage captureWindow(uint32_t, Size) override { return {}; }
    bool compositingActive() override { return true; }
};

struct RecordingSurface : PanelSurfacePort {
    std::optional<PanelOutput> panelOutput() override { return PanelOutput{Rect{0, 0, 1280, 800}, 2}; }
    void present(const QImage& image) override { images.push_back(image); }
    void withdraw() override { ++withdrawn; }
    std::vector<QImage> images;
    int withdrawn = 0;
};

TEST(SurfacePanelWindowTest, DrawnAtTheOutputsScaleCentredRedrawnOnChangeWithoutAWindow) {
    Compositing server;
    RecordingSurface surface;
    Platform ports;
    ports.windowServer = &server;
    ports.panelSurface = &surface;
    installPlatform(&ports);
    CoverFlowOutlets outlets = loadCoverFlow();
    std::unique_ptr<MAWindow> owner(outlets.window);
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
    owner.reset();
    installPlatform(nullptr);
}

} // namespace
} // namespace velora
