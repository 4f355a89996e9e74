// The panel window: its background without a compositor, and the panel where the desktop
// shows it from an image (Wayland). Its flags and activation on a real desktop are checked by
// the X11 suite, the loaded panel on a real sway by scripts/test-wayland.sh.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWindow>

#include "fake_flow_data.h"
#include "panel/surface_panel_window.h"

namespace velora {
namespace {

using PanelWindowTest = test::PanelViewTest;

// No platform installed: no compositor.
TEST_F(PanelWindowTest, WithoutACompositorThePanelIsOpaque) {
    MAWindow& window = *outlets.window;
    window.setFrame(Rect{0, 0, 300, 200}, true);
    QImage opaque(300, 200, QImage::Format_ARGB32);
    opaque.fill(Qt::transparent);
    window.render(&opaque, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    EXPECT_EQ(qAlpha(opaque.pixel(150, 10)), 255);
    // A compositor started later is taken up at the next showing: Screens.UnderACompositor...
}

// An opaque half over a translucent whole: a fade that treated each layer on its own would
// let the lower one show through the upper. It notes the mouse events it gets.
class TwoLayers final : public QWidget {
  public:
    std::vector<std::pair<QEvent::Type, QPointF>> mouse;

  protected:
    void mousePressEvent(QMouseEvent* e) override { mouse.emplace_back(e->type(), e->position()); }
    void mouseReleaseEvent(QMouseEvent* e) override { mouse.emplace_back(e->type(), e->position()); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mouse.emplace_back(e->type(), e->position()); }
    void wheelEvent(QWheelEvent* e) override { mouse.emplace_back(e->type(), QPointF(e->angleDelta())); }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0, 0, 255, 128));
        painter.fillRect(QRect(0, 0, width() / 2, height()), QColor(255, 0, 0));
    }
};

// A 1280x800 output at scale 2, 100 pixels right of the origin.
struct Surface final : PanelSurfacePort {
    std::optional<PanelOutput> panelOutput() override { return PanelOutput{Rect{100, 0, 1280, 800}, 2}; }
    void present(const QImage& image, PanelPlacement placement) override {
        shown = image;
        shownPlacement = placement;
        ++presented;
    }
    void withdraw() override { shown = QImage(); }
    void setPointerHandler(std::function<void(const PanelPointerEvent&)> handler) override {
        pointer = std::move(handler);
    }
    QImage shown;
    std::function<void(const PanelPointerEvent&)> pointer;
    PanelPlacement shownPlacement = PanelPlacement::Centred;
    int presented = 0;
};

TEST(SurfacePanelWindow, DrawsAtTheOutputsScaleCentredOrCoveringItRedrawnOnChangeFadedAndPassesThePointerOn) {
    TwoLayers panel;
    panel.resize(40, 20);
    Surface surface;
    SurfacePanelWindow window(panel, surface);
    window.centerOnScreen(0);
    EXPECT_EQ(window.frame(), (Rect{720, 390, 40, 20}));
    window.makeKeyAndOrderFront();
    ASSERT_EQ(surface.shown.size(), QSize(80, 40));
    EXPECT_EQ(surface.shown.devicePixelRatio(), 2.0);
    EXPECT_EQ(surface.shownPlacement, PanelPlacement::Centred);
    const QRgb opaque = surface.shown.pixel(10, 10);
    EXPECT_FALSE(panel.windowHandle() && panel.windowHandle()->isVisible());

    panel.update();
    for (int i = 0; i < 50 && surface.presented < 2; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(surface.presented, 2) << "a change of the panel draws it again";

    window.setAlphaValue(0.5);
    window.makeKeyAndOrderFront();
    // The red half at half its alpha, with no blue from below; the translucent half halved too.
    const QRgb red = surface.shown.pixel(10, 10), blue = surface.shown.pixel(70, 10);
    EXPECT_NEAR(qAlpha(red), qAlpha(opaque) / 2, 2);
    EXPECT_NEAR(qRed(red), qRed(opaque) / 2, 2); // premultiplied
    EXPECT_EQ(qBlue(red), 0);
    EXPECT_NEAR(qAlpha(blue), 64, 2);

    // Clicks and the wheel come back from the desktop: two presses close in time make a double
    // click, a third press starts again, a turn keeps its angle; the handler goes with the panel.
    ASSERT_TRUE(surface.pointer);
    using K = PanelPointerEvent::Kind;
    for (const PanelPointerEvent& e :
         {PanelPointerEvent{K::Press, {30, 5}, 1000, {}}, PanelPointerEvent{K::Release, {30, 5}, 1010, {}},
          PanelPointerEvent{K::Press, {31, 5}, 1100, {}}, PanelPointerEvent{K::Release, {31, 5}, 1110, {}},
          PanelPointerEvent{K::Press, {31, 5}, 1200, {}},
          PanelPointerEvent{K::Wheel, {31, 5}, 1300, {0, -240}}})
        surface.pointer(e);
    for (int i = 0; i < 50 && panel.mouse.size() < 6; ++i)
        QCoreApplication::processEvents();
    using T = QEvent::Type;
    ASSERT_EQ(panel.mouse.size(), 6u);
    EXPECT_EQ(panel.mouse[0], std::make_pair(T::MouseButtonPress, QPointF(30, 5)));
    EXPECT_EQ(panel.mouse[2].first, T::MouseButtonDblClick);
    EXPECT_EQ(panel.mouse[4].first, T::MouseButtonPress);
    EXPECT_EQ(panel.mouse[5], std::make_pair(T::Wheel, QPointF(0, -240)));

    window.orderOut();
    EXPECT_TRUE(surface.shown.isNull());
    EXPECT_FALSE(surface.pointer);

    // Full screen: the whole output, at its scale; centring again leaves it.
    window.setAlphaValue(1.0);
    ASSERT_TRUE(window.coverOutput());
    EXPECT_EQ(window.frame(), (Rect{100, 0, 1280, 800}));
    window.makeKeyAndOrderFront();
    EXPECT_EQ(surface.shown.size(), QSize(2560, 1600));
    EXPECT_EQ(surface.shownPlacement, PanelPlacement::CoverOutput);
    window.setFrame(Rect{0, 0, 40, 20}, false);
    window.centerOnScreen(0);
    window.makeKeyAndOrderFront();
    EXPECT_EQ(surface.shownPlacement, PanelPlacement::Centred);
}

} // namespace
} // namespace velora
