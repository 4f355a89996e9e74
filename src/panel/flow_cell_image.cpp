#include "panel/flow_cell_image.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace velora {

namespace {

constexpr double kPlaceholderAspect = 4.0 / 3.0;
constexpr double kReflectionOpacity = 0.20;

// The picture at exactly the given pixel size, downscaled with area averaging (sharper than
// letting the painter filter a large picture on the fly).
QImage scaledPicture(const Image& picture, QSize pixels) {
    QImage source = picture.bestRepresentation(Size{double(pixels.width()), double(pixels.height())});
    if (source.isNull()) return source;
    source.setDevicePixelRatio(1);
    return source.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The first user-perceived character of a title, upper-cased.
QString initialOf(const QString& title) {
    QString trimmed = title.trimmed();
    if (trimmed.isEmpty()) return {};
    int length = trimmed.at(0).isHighSurrogate() && trimmed.size() > 1 ? 2 : 1;
    return trimmed.left(length).toUpper();
}

void drawPlaceholder(QPainter& painter, const QRectF& box, const QString& title) {
    const double side = std::min(box.width(), box.height());
    const double radius = side * 0.07;
    const double line = std::max(1.0, side * 0.006);
    QPainterPath frame;
    frame.addRoundedRect(box.adjusted(line / 2, line / 2, -line / 2, -line / 2), radius, radius);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, QColor(70, 76, 90));
    fill.setColorAt(1, QColor(38, 41, 50));
    painter.fillPath(frame, fill);
    painter.setPen(QPen(QColor(255, 255, 255, 60), line));
    painter.drawPath(frame);

    const QString initial = initialOf(title);
    if (!initial.isEmpty()) {
        QFont font;
        font.setPixelSize(std::max(1, int(side * 0.46)));
        font.setWeight(QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(QColor(255, 255, 255, 150));
        painter.drawText(box, Qt::AlignCenter, initial);
        return;
    }
    // A window glyph: frame, title bar and its three buttons.
    const QRectF glyph(box.center().x() - side * 0.3, box.center().y() - side * 0.22, side * 0.6,
                       side * 0.44);
    painter.setPen(QPen(QColor(255, 255, 255, 130), side * 0.03, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(glyph, side * 0.04, side * 0.04);
    const double bar = glyph.top() + glyph.height() * 0.24;
    painter.drawLine(QPointF(glyph.left(), bar), QPointF(glyph.right(), bar));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 130));
    for (int i = 0; i < 3; ++i)
        painter.drawEllipse(QPointF(glyph.left() + side * (0.06 + 0.05 * i), (glyph.top() + bar) / 2),
                            side * 0.016, side * 0.016);
}

} // namespace

double flowCellAspect(const ImageRef& picture) {
    if (!picture || picture->isEmpty() || picture->size().width <= 0 || picture->size().height <= 0)
        return kPlaceholderAspect;
    return picture->size().width / picture->size().height;
}

QImage renderFlowCell(const ImageRef& picture, const QString& title, QSizeF pictureSize,
                      double devicePixelRatio) {
    const double dpr = std::max(1.0, devicePixelRatio);
    const int pw = std::max(1, int(std::lround(pictureSize.width() * dpr)));
    const int ph = std::max(1, int(std::lround(pictureSize.height() * dpr)));
    const int gap = int(std::lround(ph * kReflectionGap));
    const int reflection = std::max(1, int(std::lround(ph * kReflectionHeight)));

    QImage face(pw, ph + gap + reflection, QImage::Format_ARGB32_Premultiplied);
    face.fill(Qt::transparent);
    QPainter painter(&face);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);

    QImage front;
    if (picture && !picture->isEmpty()) front = scaledPicture(*picture, QSize(pw, ph));
    if (!front.isNull()) {
        painter.drawImage(QPoint(0, 0), front);
    } else {
        drawPlaceholder(painter, QRectF(0, 0, pw, ph), title);
    }

    // The reflection: the picture's lower part mirrored, fading out downwards.
    const QImage mirrored = face.copy(0, ph - reflection, pw, reflection).mirrored(false, true);
    painter.drawImage(QPoint(0, ph + gap), mirrored);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient mask(0, ph + gap, 0, ph + gap + reflection);
    mask.setColorAt(0, QColor(0, 0, 0, int(255 * kReflectionOpacity)));
    mask.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, ph + gap, pw, reflection), mask);
    painter.end();
    face.setDevicePixelRatio(dpr);
    return face;
}

} // namespace velora
