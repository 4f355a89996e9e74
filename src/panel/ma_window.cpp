#include "panel/ma_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "panel/off_screen.h"
#include "panel/screen_choice.h"
#include "platform/platform.h"

namespace velora {

namespace {

constexpr double kCornerRadius = 18;
const QColor kTranslucentPlate(18, 20, 25, 215);
const QColor kOpaquePlate(24, 26, 32);
const QColor kRim(255, 255, 255, 34);

// What accessibility clients get for the panel: nothing to read and nothing inside.
class IgnoredPanelAccessible : public QAccessibleWidget {
  public:
    explicit IgnoredPanelAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::NoRole) {}
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = true;
        s.offscreen = true;
        return s;
    }
    QString text(QAccessible::Text) const override { return {}; }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

QAccessibleInterface* panelAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(MAWindow::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new IgnoredPanelAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

bool compositorRuns() {
    return hasPlatform() && platform().windowServer && platform().windowServer->compositingActive();
}

QPainterPath platePath(QSizeF size) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), kCornerRadius, kCornerRadius);
    return path;
}

} // namespace

Qt::WindowFlags MAWindow::panelFlags() {
    return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
           Qt::WindowDoesNotAcceptFocus;
}

MAWindow::MAWindow(QWidget*) : QWidget(nullptr, panelFlags()) {
    static std::once_flag factoryInstalled;
    std::call_once(factoryInstalled, [] { QAccessible::installFactory(panelAccessibleFactory); });
    setWindowTitle(QStringLiteral("Velora"));
    setAccessibleName(QString());
    applyPanelFlags();
    updateTranslucency();
}

void MAWindow::awakeFromNib() {
    orderOut();
    applyPanelFlags();
    updateTranslucency();
}

void MAWindow::applyPanelFlags() {
    if (windowFlags() != panelFlags()) setWindowFlags(panelFlags());
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
}

void MAWindow::setVisible(bool visible) {
    if (visible) applyPanelFlags();
    QWidget::setVisible(visible);
}

// The translucency of a native window is fixed when it is made: while hidden, a change of
// the compositing state makes it anew at the next show.
void MAWindow::updateTranslucency() {
    if (QWidget::isVisible()) return;
    const bool wanted = compositorRuns();
    if (wanted == translucent_ && testAttribute(Qt::WA_TranslucentBackground) == wanted) return;
    translucent_ = wanted;
    setAttribute(Qt::WA_TranslucentBackground, wanted);
    setAttribute(Qt::WA_NoSystemBackground, wanted);
    if (QWindow* native = windowHandle()) native->destroy();
    updateShape();
}

void MAWindow::updateShape() {
    if (translucent_) {
        clearMask();
        return;
    }
    setMask(QRegion(platePath(QSizeF(size())).toFillPolygon().toPolygon()));
}

Rect MAWindow::frame() const {
    const QRect g = geometry();
    return Rect{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
}

void MAWindow::setFrame(const Rect& frame, bool display) {
    setGeometry(QRect(int(std::lround(frame.x)), int(std::lround(frame.y)), int(std::lround(frame.width)),
                      int(std::lround(frame.height))));
    // A hidden window gets its resize event only when shown; the shape is needed before.
    updateShape();
    if (display) update();
}

int MAWindow::screenFor(const std::optional<Rect>& focusedWindow) const {
    const QList<QScreen*> screens = QGuiApplication::screens();
    // Window frames come in the server's pixels. Qt keeps a screen's top-left corner in those
    // pixels and divides only its size by the scale factor, so the server's view of a screen
    // is its top-left with the size times the device pixel ratio.
    std::vector<Rect> native;
    native.reserve(std::size_t(screens.size()));
    for (QScreen* s : screens) {
        const QRect g = s->geometry();
        const double ratio = s->devicePixelRatio();
        native.push_back(Rect{double(g.x()), double(g.y()), g.width() * ratio, g.height() * ratio});
    }
    return chooseScreen(native, focusedWindow,
                        int(screens.indexOf(QGuiApplication::screenAt(QCursor::pos()))),
                        int(screens.indexOf(QGuiApplication::primaryScreen())));
}

void MAWindow::centerOnScreen(int screenIndex) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screenIndex < 0 || screenIndex >= screens.size()) return;
    QScreen* target = screens[screenIndex];
    const QRect area = target->availableGeometry();
    const Rect placed =
        centeredInside(Rect{double(area.x()), double(area.y()), double(area.width()), double(area.height())},
                       Size{double(width()), double(height())});
    // The native window follows the screen it is placed on (its scale factor with it).
    if (screen() != target) setScreen(target);
    setFrame(placed, false);
}

void MAWindow::makeKeyAndOrderFront() {
    updateTranslucency();
    show();
    raise();
}

void MAWindow::orderOut() {
    hideAndConfirm(*this);
}

void MAWindow::setAlphaValue(double alpha) {
    setWindowOpacity(std::clamp(alpha, 0.0, 1.0));
}

void MAWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateShape();
}

void MAWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (translucent_) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.fillPath(platePath(QSizeF(size())), kTranslucentPlate);
    } else {
        painter.fillRect(rect(), kOpaquePlate);
    }
    // A faint rim and a soft light from above give the plate an edge on dark desktops too.
    const QRectF inner = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(kRim, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(inner, kCornerRadius - 0.5, kCornerRadius - 0.5);
    QLinearGradient sheen(0, 0, 0, height() * 0.5);
    sheen.setColorAt(0, QColor(255, 255, 255, 16));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillPath(platePath(QSizeF(size())), sheen);
}

} // namespace velora
