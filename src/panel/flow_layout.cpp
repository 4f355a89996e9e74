#include "panel/flow_layout.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velora {

namespace {

// Proportions of the row, in units of the front box's side.
constexpr double kFirstGap = 0.73;   // centre of the front cell to the centre of its neighbours
constexpr double kStackGap = 0.15;   // between further neighbours
constexpr double kSideScale = 0.72;  // size of the direct neighbours
constexpr double kFarShrink = 0.025; // each further cell a little smaller
constexpr double kMinScale = 0.55;
constexpr double kSideAngle = 58;    // degrees the side cells are turned away
constexpr double kEyeDistance = 2.0; // perspective: distance of the eye from the row
constexpr double kNeighbourDim = 0.26;
constexpr double kFarDim = 0.08;
constexpr double kMaxDim = 0.7;
constexpr double kBoxAspect = 1.42;      // the front box's width over its height
constexpr double kMaxBoxWidth = 0.54;    // of the view's width, leaving room for the sides
constexpr double kReflectionRoom = 0.10; // of the box height, kept free under the floor

double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

FlowLayout::FlowLayout(QSizeF viewSize, int count) : view_(viewSize), count_(count) {
    const double w = view_.width(), h = view_.height();
    titleSize_ = std::clamp(h * 0.042, 11.0, 22.0);
    margin_ = std::max(10.0, h * 0.05);
    const double indicator = count_ > 1 + 2 * 3 ? std::max(8.0, h * 0.025) : 0.0;
    // The pictures, then under the floor the titles, over the upper part of the reflections.
    room_ = h - 2 * margin_ - indicator;
    const double boxHeight = std::max(
        1.0, std::min((room_ - titleBlock()) / (1 + kReflectionRoom), w * kMaxBoxWidth / kBoxAspect));
    frontBox_ = QSizeF(std::min(boxHeight * kBoxAspect, w * kMaxBoxWidth), boxHeight);
    indicatorArea_ = indicator > 0 ? QRectF(w / 2 - std::min(140.0, w * 0.2), h - margin_ - indicator * 0.5,
                                            2 * std::min(140.0, w * 0.2), 3)
                                   : QRectF();
    setRowHeight(frontBox_.height());
}

void FlowLayout::setRowHeight(double rowHeight) {
    const double row = std::clamp(rowHeight, 1.0, frontBox_.height());
    const double block = row + titleBlock();
    const double top = margin_ + std::max(0.0, room_ - block) / 2;
    baseline_ = top + row;
    titleArea_ = QRectF(margin_, baseline_ + titleSize_ * 0.5, std::max(0.0, view_.width() - 2 * margin_),
                        titleSize_ * 2.6);
}

QRectF FlowLayout::pictureRect(double aspect) const {
    double pw = frontBox_.width(), ph = frontBox_.height();
    if (aspect > 0) {
        if (aspect > pw / ph)
            ph = pw / aspect;
        else
            pw = ph * aspect;
    }
    return QRectF(-pw / 2, -ph / 2, pw, ph);
}

FlowLayout::Placement FlowLayout::placement(int index, double position, double aspect) const {
    Placement p;
    if (index < 0 || index >= count_) return p;
    const double d = index - position;
    const double a = std::abs(d);
    const double side = d < 0 ? -1 : 1;
    if (a > kSideCells + 1) return p;

    const double s = frontBox_.width();
    const double offset = a <= 1 ? a * kFirstGap * s : (kFirstGap + (a - 1) * kStackGap) * s;
    double scale = a <= 1 ? 1 - a * (1 - kSideScale) : kSideScale - (a - 1) * kFarShrink;
    scale = std::max(kMinScale, scale);
    const double angle = std::min(a, 1.0) * kSideAngle * std::numbers::pi / 180;

    // Turned about its vertical centre line, the outer edge away from the eye.
    const double eye = kEyeDistance * s;
    QTransform turn(std::cos(angle), 0, side * std::sin(angle) / eye, 0, 1, 0, 0, 0, 1);
    const QRectF picture = pictureRect(aspect);
    const double cx = view_.width() / 2 + side * offset;
    const double cy = baseline_ - scale * picture.height() / 2;
    p.transform = QTransform::fromScale(scale, scale) * turn * QTransform::fromTranslate(cx, cy);

    // Fade out cells at the end of the drawn window and those leaving the view's sides.
    double fade = clamp01(kSideCells + 1 - a);
    const double halfWidth = view_.width() / 2;
    const double outer = std::abs(cx - halfWidth) + scale * picture.width() * 0.3;
    fade *= clamp01((halfWidth - outer) / (s * 0.25) + 0.6);
    p.opacity = fade;
    p.dim = std::min(kMaxDim, std::min(a, 1.0) * kNeighbourDim + std::max(0.0, a - 1) * kFarDim);
    p.distance = a;
    p.visible = fade > 0.001;
    return p;
}

int FlowLayout::firstVisible(double position) const {
    return std::clamp(int(std::floor(position)) - kSideCells - 1, 0, std::max(0, count_ - 1));
}

int FlowLayout::lastVisible(double position) const {
    return std::clamp(int(std::ceil(position)) + kSideCells + 1, 0, std::max(0, count_ - 1));
}

} // namespace velora
