// The panel drawn into images for a desktop that shows it from an image (Wayland).
#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>

#include "panel/surface_panel_window.h"

namespace velora {
namespace {

// An opaque half over a translucent whole: a fade that treated each layer on its own would
// let the lower one show through the upper.
class TwoLayers final : public QWidget {
  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0, 0, 255, 128));
        painter.fillRect(QRect(0, 0, width() / 2, height()), QColor(255, 0, 0));
    }
};

class Surface final : public PanelSurfacePort {
  public:
    std::optional<PanelOutput> panelOutput() override { return PanelOutput{Rect{100, 0, 1280, 800}, 2}; }
    void present(const QImage& image) override { shown = image; }
    void withdraw() override { shown = QImage(); }
    QImage shown;
};

TEST(SurfacePanelWindow, DrawsAtTheOutputsScaleCentredThereAndFadesAsOneImage) {
    TwoLayers panel;
    panel.resize(40, 20);
    Surface surface;
    SurfacePanelWindow window(panel, surface);
    window.centerOnScreen(0);
    EXPECT_EQ(window.frame(), (Rect{720, 390, 40, 20}));
    window.makeKeyAndOrderFront();
    ASSERT_EQ(surface.shown.size(), QSize(80, 40));
    EXPECT_EQ(surface.shown.devicePixelRatio(), 2.0);
    const QRgb opaque = surface.shown.pixel(10, 10);

    window.setAlphaValue(0.5);
    window.makeKeyAndOrderFront();
    // The red half at half its alpha, with no blue from below; the translucent half halved too.
    const QRgb red = surface.shown.pixel(10, 10), blue = surface.shown.pixel(70, 10);
    EXPECT_NEAR(qAlpha(red), qAlpha(opaque) / 2, 2);
    EXPECT_NEAR(qRed(red), qRed(opaque) / 2, 2); // premultiplied
    EXPECT_EQ(qBlue(red), 0);
    EXPECT_NEAR(qAlpha(blue), 64, 2);

    window.orderOut();
    EXPECT_TRUE(surface.shown.isNull());
}

} // namespace
} // namespace velora
