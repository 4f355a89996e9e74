#include "panel/surface_panel_window.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "panel/screen_choice.h"

namespace velora {

SurfacePanelWindow::SurfacePanelWindow(QWidget& panel, PanelSurfacePort& surface)
    : QObject(&panel), panel_(panel), surface_(surface) {
    // Shown, the widget runs its animations and asks for repaints; it never gets a window.
    panel_.setAttribute(Qt::WA_DontShowOnScreen);
    panel_.installEventFilter(this);
    const QRect g = panel_.geometry();
    frame_ = Rect{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
}

void SurfacePanelWindow::setFrame(const Rect& frame, bool display) {
    frame_ = frame;
    panel_.resize(int(std::lround(frame.width)), int(std::lround(frame.height)));
    if (display && visible_) scheduleDraw();
}

void SurfacePanelWindow::centerOnScreen(int) {
    const std::optional<PanelOutput> output = surface_.panelOutput();
    if (!output) return;
    scale_ = std::max(1, output->scale);
    placement_ = PanelPlacement::Centred;
    // The desktop centres the image itself; the frame says where it lands.
    setFrame(centeredInside(output->frame, Size{frame_.width, frame_.height}), false);
}

bool SurfacePanelWindow::coverOutput() {
    const std::optional<PanelOutput> output = surface_.panelOutput();
    if (!output) return false;
    scale_ = std::max(1, output->scale);
    placement_ = PanelPlacement::CoverOutput;
    setFrame(output->frame, false);
    return true;
}

void SurfacePanelWindow::makeKeyAndOrderFront() {
    if (!visible_) panel_.show();
    visible_ = true;
    draw(); // at once: the panel is due now
}

void SurfacePanelWindow::orderOut() {
    if (!visible_) return;
    visible_ = false;
    panel_.hide();
    surface_.withdraw();
}

void SurfacePanelWindow::setAlphaValue(double alpha) {
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    if (visible_) scheduleDraw();
}

bool SurfacePanelWindow::eventFilter(QObject* watched, QEvent* event) {
    // Qt asks a top-level widget to repaint whenever something in it changed.
    if (watched == &panel_ && event->type() == QEvent::UpdateRequest && visible_) scheduleDraw();
    return QObject::eventFilter(watched, event);
}

void SurfacePanelWindow::scheduleDraw() {
    if (drawScheduled_) return;
    drawScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            drawScheduled_ = false;
            if (visible_) draw();
        },
        Qt::QueuedConnection);
}

void SurfacePanelWindow::draw() {
    const QSize logical = panel_.size();
    if (logical.isEmpty()) return;
    QImage image(logical * scale_, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale_);
    image.fill(Qt::transparent);
    panel_.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    if (alpha_ < 1.0) {
        // Faded in place: every premultiplied pixel times alpha, as the whole panel drawn
        // with that opacity (a second image per frame cost several times the drawing).
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(QRect(QPoint(), logical), QColor(0, 0, 0, qRound(alpha_ * 255)));
    }
    surface_.present(image, placement_);
}

} // namespace velora
