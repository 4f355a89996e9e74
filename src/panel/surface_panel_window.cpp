#include "panel/surface_panel_window.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleHints>
#include <QWheelEvent>

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

SurfacePanelWindow::~SurfacePanelWindow() {
    if (visible_) surface_.setPointerHandler({});
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
    if (!visible_) {
        panel_.show();
        lastPress_.reset();
        // On the desktop's thread: handed to the main thread, dropped there if this is gone.
        surface_.setPointerHandler(
            [self = QPointer<SurfacePanelWindow>(this)](const PanelPointerEvent& event) {
                QMetaObject::invokeMethod(
                    self.data(),
                    [self, event] {
                        if (self) self->deliver(event);
                    },
                    Qt::QueuedConnection);
            });
    }
    visible_ = true;
    draw(); // at once: the panel is due now
}

void SurfacePanelWindow::orderOut() {
    if (!visible_) return;
    visible_ = false;
    surface_.setPointerHandler({});
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

void SurfacePanelWindow::deliver(const PanelPointerEvent& pointer) {
    if (!visible_) return;
    const QPointF at(pointer.location.x, pointer.location.y);
    QWidget* target = panel_.childAt(at.toPoint());
    if (!target) target = &panel_;
    // Through the application, which hands an event its target leaves to the parents.
    if (pointer.kind == PanelPointerEvent::Kind::Wheel) {
        QWheelEvent event(target->mapFrom(&panel_, at), at + panel_.pos(), QPoint(),
                          QPoint(int(pointer.wheelAngle.x), int(pointer.wheelAngle.y)), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return;
    }
    const bool pressed = pointer.kind == PanelPointerEvent::Kind::Press;
    QEvent::Type type = pressed ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease;
    if (pressed) {
        const QStyleHints* hints = QGuiApplication::styleHints();
        const bool twice = lastPress_ &&
                           pointer.time - lastPress_->time <= uint32_t(hints->mouseDoubleClickInterval()) &&
                           (at - QPointF(lastPress_->location.x, lastPress_->location.y)).manhattanLength() <=
                               hints->mouseDoubleClickDistance();
        if (twice) type = QEvent::MouseButtonDblClick;
        // A third press starts again.
        lastPress_ = twice ? std::nullopt : std::optional<PanelPointerEvent>(pointer);
    }
    const Qt::MouseButtons held = pressed ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, target->mapFrom(&panel_, at), at, at + panel_.pos(), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
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
