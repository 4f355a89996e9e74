#include "panel/ikb_image_flow_view.h"

#include <QBoxLayout>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEasingCurve>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "panel/file_drop.h"
#include "panel/flow_cell_image.h"
#include "panel/off_screen.h"
#include "panel/surface_panel_window.h"
#include "platform/platform.h"

namespace velora {

namespace {

// Selection moves longer than this glide over the last few cells only, instead of sweeping
// the whole row past the eye (a wrap from the last cell to the first, for instance).
constexpr double kLongestGlide = 2.5;

QString qstring(const std::optional<std::string>& text) {
    return text ? QString::fromStdString(*text) : QString();
}

// The frameless window that holds the view in full-screen mode: above every managed window,
// never activated, outside the window manager's lists. Without a screen, a widget only, which
// the desktop shows from an image (SurfacePanelWindow).
std::unique_ptr<QWidget> makeFullScreenHost(QScreen* screen) {
    auto host =
        std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                               Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus);
    host->setAttribute(Qt::WA_ShowWithoutActivating);
    host->setWindowTitle(QStringLiteral("Velora"));
    QPalette palette = host->palette();
    palette.setColor(QPalette::Window, QColor(12, 13, 16));
    host->setPalette(palette);
    host->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    if (screen) {
        host->setScreen(screen);
        host->setGeometry(screen->geometry());
    }
    return host;
}

} // namespace

IKBImageFlowView::IKBImageFlowView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(false);
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
    setMinimumSize(120, 90);

    glide_ = new QVariantAnimation(this);
    glide_->setEasingCurve(QEasingCurve::OutCubic);
    connect(glide_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setPosition(value.toDouble()); });

    dragTimer_ = new QTimer(this);
    dragTimer_->setInterval(kPeriodicDragUpdateMs);
    connect(dragTimer_, &QTimer::timeout, this, [this] {
        if (dragDestination_) dragDestination_->draggingUpdated(lastDrag_);
    });
}

IKBImageFlowView::~IKBImageFlowView() {
    // In full-screen mode the host window is the parent; leave it before it goes.
    if (fullScreenHost_) {
        setParent(nullptr);
        fullScreenHost_.reset();
    }
}

QSize IKBImageFlowView::sizeHint() const {
    return QSize(637, 437);
}

// --- data

void IKBImageFlowView::setDataSource(ImageFlowDataSource* source) {
    dataSource_ = source;
    reloadData();
}

void IKBImageFlowView::setDelegate(ImageFlowDelegate* delegate) {
    delegate_ = delegate;
}

void IKBImageFlowView::setDraggingDestinationDelegate(DraggingDestination* destination) {
    dragDestination_ = destination;
    if (!destination) stopDragUpdates();
}

void IKBImageFlowView::reloadData() {
    const int n = dataSource_ ? std::max(0, dataSource_->numberOfItemsInImageFlow(*this)) : 0;
    cells_.assign(size_t(n), Cell{});
    faces_.clear();
    selected_ = n == 0 ? 0 : std::min(selected_, unsigned(n - 1));
    glide_->stop();
    setPosition(selected_);
}

void IKBImageFlowView::reloadCellDataAtIndex(int index) {
    if (index < 0 || index >= count()) return;
    readCell(index);
    faces_.erase(index);
    update();
}

void IKBImageFlowView::readCell(int index) const {
    Cell fresh;
    fresh.loaded = true;
    auto& self = const_cast<IKBImageFlowView&>(*this);
    if (std::shared_ptr<ImageFlowItem> item =
            dataSource_ ? dataSource_->imageFlowItemAtIndex(self, index) : nullptr) {
        fresh.uid = item->imageUID();
        if (item->imageRepresentationType() == kImageRepresentationTypeImage)
            fresh.picture = item->imageRepresentation();
        fresh.title = item->imageTitle();
        fresh.subtitle = item->imageSubtitle();
    }
    cells_[size_t(index)] = std::move(fresh);
}

const IKBImageFlowView::Cell& IKBImageFlowView::cell(int index) const {
    if (!cells_[size_t(index)].loaded) readCell(index);
    return cells_[size_t(index)];
}

// --- cache

void IKBImageFlowView::Cache::freeCache() {
    view_.freeCache();
}

ImageFlowCacheManager& IKBImageFlowView::cacheManager() {
    return cache_;
}

void IKBImageFlowView::freeCache() {
    faces_.clear();
    for (Cell& c : cells_)
        c = Cell{};
    update();
}

const QImage& IKBImageFlowView::faceOf(int index, const FlowLayout& layout) const {
    const double dpr = devicePixelRatioF();
    auto found = faces_.find(index);
    if (found != faces_.end() && found->second.frontBox == layout.frontBox() &&
        found->second.devicePixelRatio == dpr)
        return found->second.image;
    const Cell& c = cell(index);
    const QRectF picture = layout.pictureRect(flowCellAspect(c.picture));
    Face face{renderFlowCell(c.picture, qstring(c.title), picture.size(), dpr), layout.frontBox(), dpr};
    return faces_.insert_or_assign(index, std::move(face)).first->second.image;
}

void IKBImageFlowView::evictFacesAway(const FlowLayout& layout) {
    const int first = layout.firstVisible(position_), last = layout.lastVisible(position_);
    std::erase_if(faces_, [&](const auto& entry) { return entry.first < first || entry.first > last; });
}

// --- selection

unsigned IKBImageFlowView::selectedIndex() const {
    return selected_;
}

void IKBImageFlowView::setSelectedIndex(unsigned index) {
    const int n = count();
    moveTo(n == 0 ? 0 : std::min(index, unsigned(n - 1)));
}

void IKBImageFlowView::moveTo(unsigned index) {
    const bool changed = index != selected_;
    selected_ = index;
    const double target = index;
    if (!isVisible() || animationMs_ <= 0 || count() == 0) {
        glide_->stop();
        setPosition(target);
        return;
    }
    if (!changed && glide_->state() != QAbstractAnimation::Running) return;
    double from = position_;
    if (std::abs(target - from) > kLongestGlide)
        from = target + (from < target ? -kLongestGlide : kLongestGlide);
    glide_->stop();
    glide_->setDuration(animationMs_);
    glide_->setStartValue(from);
    glide_->setEndValue(target);
    glide_->start();
}

void IKBImageFlowView::setPosition(double position) {
    position_ = position;
    update();
}

void IKBImageFlowView::setSelectionAnimationDuration(int msec) {
    animationMs_ = std::max(0, msec);
}

void IKBImageFlowView::finishSelectionAnimation() {
    glide_->stop();
    setPosition(selected_);
}

// --- geometry

// The row is centred on the tallest picture around the front cell, blended between the two
// cells nearest to the fractional position, so the floor glides along with the row.
FlowLayout IKBImageFlowView::layout() const {
    FlowLayout l(QSizeF(size()), count());
    if (count() == 0) return l;
    auto tallestAround = [&](int centre) {
        double tallest = 0;
        for (int i = std::max(0, centre - 1); i <= std::min(count() - 1, centre + 1); ++i)
            tallest = std::max(tallest, l.pictureRect(flowCellAspect(cell(i).picture)).height());
        return tallest;
    };
    const double position = std::clamp(position_, 0.0, double(count() - 1));
    const int below = int(std::floor(position));
    const double t = position - below;
    const double row =
        t > 0 ? (1 - t) * tallestAround(below) + t * tallestAround(below + 1) : tallestAround(below);
    l.setRowHeight(row);
    return l;
}

QRectF IKBImageFlowView::cellRect(int index) const {
    if (index < 0 || index >= count()) return {};
    const FlowLayout l = layout();
    const double aspect = flowCellAspect(cell(index).picture);
    const FlowLayout::Placement p = l.placement(index, position_, aspect);
    if (!p.visible) return {};
    return p.transform.map(QPolygonF(l.pictureRect(aspect))).boundingRect();
}

int64_t IKBImageFlowView::cellAt(QPointF viewPoint) const {
    if (count() == 0) return kNotFound;
    const FlowLayout l = layout();
    // Nearest to the front first: it is drawn over the others.
    int64_t best = kNotFound;
    double bestDistance = 0;
    for (int i = l.firstVisible(position_); i <= l.lastVisible(position_); ++i) {
        const double aspect = flowCellAspect(cell(i).picture);
        const FlowLayout::Placement p = l.placement(i, position_, aspect);
        if (!p.visible) continue;
        if (!p.transform.map(QPolygonF(l.pictureRect(aspect))).containsPoint(viewPoint, Qt::OddEvenFill))
            continue;
        if (best == kNotFound || p.distance < bestDistance) {
            best = i;
            bestDistance = p.distance;
        }
    }
    return best;
}

int64_t IKBImageFlowView::cellIndexAtLocation(Point location) const {
    const QWidget* top = window();
    const QPointF local =
        top == this ? QPointF(location.x, location.y) : mapFrom(top, QPointF(location.x, location.y));
    return cellAt(local);
}

// --- opacity

void IKBImageFlowView::setAlphaValue(double alpha) {
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    update();
}

double IKBImageFlowView::alphaValue() const {
    return alpha_;
}

// --- full screen

bool IKBImageFlowView::enterFullScreenMode(int screenIndex, uint32_t /*presentationOptions*/) {
    if (fullScreenHost_) return true;
    // Where the desktop shows the panel from an image, the output is the one it shows it on.
    PanelSurfacePort* surface = hasPlatform() ? platform().panelSurface : nullptr;
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (!surface && (screenIndex < 0 || screenIndex >= screens.size())) return false;

    homeParent_ = parentWidget();
    homeLayout_ = homeParent_ ? homeParent_->layout() : nullptr;
    homeLayoutIndex_ = homeLayout_ ? homeLayout_->indexOf(this) : -1;
    homeGeometry_ = geometry();

    fullScreenHost_ = makeFullScreenHost(surface ? nullptr : screens[screenIndex]);
    if (surface) {
        surfaceHost_ = new SurfacePanelWindow(*fullScreenHost_, *surface);
        if (!surfaceHost_->coverOutput()) {
            fullScreenHost_.reset();
            surfaceHost_ = nullptr;
            return false;
        }
    }
    fullScreenHost_->layout()->addWidget(this);
    show();
    if (surfaceHost_) {
        surfaceHost_->makeKeyAndOrderFront();
    } else {
        fullScreenHost_->show();
        fullScreenHost_->raise();
    }
    return true;
}

void IKBImageFlowView::exitFullScreenMode() {
    if (!fullScreenHost_) return;
    if (surfaceHost_) {
        surfaceHost_->orderOut();
        surfaceHost_ = nullptr; // goes with the host
    } else {
        hideAndConfirm(*fullScreenHost_);
    }
    if (auto* box = qobject_cast<QBoxLayout*>(homeLayout_.data()); box && homeLayoutIndex_ >= 0) {
        box->insertWidget(homeLayoutIndex_, this);
    } else if (homeLayout_) {
        homeLayout_->addWidget(this);
    } else {
        setParent(homeParent_);
        setGeometry(homeGeometry_);
    }
    show();
    // The call may come from inside an event that the host window is delivering.
    fullScreenHost_.release()->deleteLater();
    update();
}

bool IKBImageFlowView::isInFullScreenMode() const {
    return fullScreenHost_ != nullptr;
}

// --- drawing

void IKBImageFlowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

void IKBImageFlowView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    stopDragUpdates();
    finishSelectionAnimation();
}

void IKBImageFlowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    if (fullScreenHost_) {
        QLinearGradient backdrop(0, 0, 0, height());
        backdrop.setColorAt(0, QColor(30, 32, 38));
        backdrop.setColorAt(1, QColor(8, 9, 11));
        painter.fillRect(rect(), backdrop);
    }
    if (alpha_ <= 0 || count() == 0) return;
    painter.setOpacity(alpha_);

    const FlowLayout l = layout();
    struct Drawn {
        int index;
        FlowLayout::Placement placement;
    };
    std::vector<Drawn> drawn;
    for (int i = l.firstVisible(position_); i <= l.lastVisible(position_); ++i) {
        FlowLayout::Placement p = l.placement(i, position_, flowCellAspect(cell(i).picture));
        if (p.visible) drawn.push_back({i, p});
    }
    std::stable_sort(drawn.begin(), drawn.end(), [](const Drawn& a, const Drawn& b) {
        return a.placement.distance > b.placement.distance;
    });
    for (const Drawn& d : drawn)
        drawCell(painter, d.index, d.placement, l);

    painter.resetTransform();
    painter.setOpacity(alpha_);
    drawTitles(painter, l);
    drawIndicator(painter, l);
    evictFacesAway(l);
}

void IKBImageFlowView::drawCell(QPainter& painter, int index, const FlowLayout::Placement& placement,
                                const FlowLayout& l) {
    const QImage& face = faceOf(index, l);
    const QRectF picture = l.pictureRect(flowCellAspect(cell(index).picture));
    const QRectF target(picture.left(), picture.top(), picture.width(),
                        picture.height() * (1 + kReflectionGap + kReflectionHeight));

    // Dimming darkens the face's own pixels only, not what lies behind its transparent parts.
    QImage dimmed;
    const QImage* shown = &face;
    if (placement.dim > 0.005) {
        dimmed = face.copy();
        QPainter darken(&dimmed);
        darken.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        darken.fillRect(QRectF(QPointF(0, 0), dimmed.deviceIndependentSize()),
                        QColor(0, 0, 0, int(placement.dim * 255)));
        darken.end();
        shown = &dimmed;
    }
    painter.setTransform(placement.transform);
    painter.setOpacity(alpha_ * placement.opacity);
    painter.drawImage(target, *shown);
}

void IKBImageFlowView::drawTitles(QPainter& painter, const FlowLayout& l) {
    if (selected_ >= unsigned(count())) return;
    const Cell& c = cell(int(selected_));
    const QString title = qstring(c.title), subtitle = qstring(c.subtitle);
    if (title.isEmpty() && subtitle.isEmpty()) return;

    const QRectF area = l.titleArea();
    const double size = area.height() / 2.6;
    QFont titleFont = font();
    titleFont.setPixelSize(std::max(1, int(std::lround(size))));
    titleFont.setWeight(QFont::DemiBold);
    QFont subtitleFont = font();
    subtitleFont.setPixelSize(std::max(1, int(std::lround(size * 0.82))));

    // While the row glides the title belongs to the cell arriving in front: fade it in.
    const double settle = std::clamp(1 - std::abs(position_ - double(selected_)) * 1.6, 0.0, 1.0);
    painter.setOpacity(alpha_ * (0.25 + 0.75 * settle));

    auto line = [&](const QString& text, const QFont& f, double top, QColor color) {
        const QFontMetricsF metrics(f);
        const QString shown = metrics.elidedText(text, Qt::ElideRight, area.width());
        const QRectF box(area.left(), top, area.width(), metrics.height());
        painter.setFont(f);
        // A soft dark halo keeps the text readable over light reflections.
        painter.setPen(QColor(0, 0, 0, 70));
        for (QPointF offset :
             {QPointF(0, 1), QPointF(1, 1), QPointF(-1, 1), QPointF(0, 2), QPointF(1, 0), QPointF(-1, 0)})
            painter.drawText(box.translated(offset), Qt::AlignHCenter | Qt::AlignTop, shown);
        painter.setPen(color);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, shown);
        return metrics.height();
    };
    double top = area.top();
    if (!title.isEmpty()) top += line(title, titleFont, top, QColor(255, 255, 255)) + size * 0.15;
    if (!subtitle.isEmpty()) line(subtitle, subtitleFont, top, QColor(255, 255, 255, 160));
}

void IKBImageFlowView::drawIndicator(QPainter& painter, const FlowLayout& l) {
    const QRectF track = l.indicatorArea();
    if (track.isEmpty() || count() < 2) return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 40));
    painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
    const double thumbWidth =
        std::max(track.height() * 4, track.width() / count() * (2 * FlowLayout::kSideCells + 1));
    const double travel = std::max(0.0, track.width() - std::min(thumbWidth, track.width()));
    const double at = std::clamp(position_ / (count() - 1), 0.0, 1.0);
    const QRectF thumb(track.left() + travel * at, track.top(), std::min(thumbWidth, track.width()),
                       track.height());
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawRoundedRect(thumb, track.height() / 2, track.height() / 2);
}

// --- mouse

void IKBImageFlowView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int64_t index = cellAt(event->position());
    pressedCell_ = index;
    pressedAt_ = event->position();
    if (index != kNotFound) setSelectedIndex(unsigned(index));
    event->accept();
}

void IKBImageFlowView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    const bool wherePressed = (event->position() - pressedAt_).manhattanLength() <=
                              QGuiApplication::styleHints()->mouseDoubleClickDistance();
    const int64_t index = wherePressed ? pressedCell_ : cellAt(event->position());
    pressedCell_ = kNotFound;
    event->accept();
    if (index == kNotFound) return;
    setSelectedIndex(unsigned(index));
    if (delegate_) delegate_->imageFlowCellWasDoubleClickedAtIndex(*this, int(index));
}

void IKBImageFlowView::wheelEvent(QWheelEvent* event) {
    wheelRemainder_ += event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    while (std::abs(wheelRemainder_) >= 120) {
        const int step = wheelRemainder_ > 0 ? -1 : 1;
        wheelRemainder_ += step * 120;
        const int next = std::clamp(int(selected_) + step, 0, std::max(0, count() - 1));
        setSelectedIndex(unsigned(next));
    }
    event->accept();
}

// --- drag and drop

DraggingInfo IKBImageFlowView::draggingInfo(const QMimeData* data, QObject* source, QPointF viewPoint) const {
    DraggingInfo info;
    info.source = source;
    info.filenames = dropFilenames(data);
    info.hasFilenames = !info.filenames.empty();
    const QPointF inWindow = mapTo(window(), viewPoint);
    info.location = Point{inWindow.x(), inWindow.y()};
    return info;
}

void IKBImageFlowView::stopDragUpdates() {
    dragTimer_->stop();
    lastDrag_ = DraggingInfo{};
}

void IKBImageFlowView::dragEnterEvent(QDragEnterEvent* event) {
    stopDragUpdates();
    if (!dragDestination_) return event->ignore();
    DraggingInfo info = draggingInfo(event->mimeData(), event->source(), event->position());
    const DragOperation answer = dragDestination_->draggingEntered(info);
    // Only file names are taken, whatever the destination would say to anything else.
    if (answer == kDragOperationNone || !info.hasFilenames) return event->ignore();
    event->acceptProposedAction();
    lastDrag_ = std::move(info);
    dragTimer_->start();
}

void IKBImageFlowView::dragMoveEvent(QDragMoveEvent* event) {
    if (!dragDestination_) return event->ignore();
    DraggingInfo info = draggingInfo(event->mimeData(), event->source(), event->position());
    dragTimer_->start(); // periodic updates count from the last real one
    lastDrag_ = info;
    const DragOperation answer = dragDestination_->draggingUpdated(info);
    if (answer == kDragOperationNone || !info.hasFilenames)
        event->ignore();
    else
        event->acceptProposedAction();
}

void IKBImageFlowView::dragLeaveEvent(QDragLeaveEvent* event) {
    stopDragUpdates();
    QWidget::dragLeaveEvent(event);
}

void IKBImageFlowView::dropEvent(QDropEvent* event) {
    stopDragUpdates();
    if (!dragDestination_) return event->ignore();
    const DraggingInfo info = draggingInfo(event->mimeData(), event->source(), event->position());
    if (!info.hasFilenames) return event->ignore();
    // The destination may take the panel down from here; nothing of the view is used after.
    if (dragDestination_->prepareForDragOperation(info) && dragDestination_->performDragOperation(info))
        event->acceptProposedAction();
    else
        event->ignore();
}

} // namespace velora
