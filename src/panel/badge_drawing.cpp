#include "panel/badge_drawing.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QSvgRenderer>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <string>

// Resources compiled into a static library are registered explicitly (the linker would drop
// their initialiser otherwise); this must happen outside any namespace.
static void registerPanelResources() {
    Q_INIT_RESOURCE(panel);
}

namespace velora {

namespace {

constexpr double kMinimumSide = 5;
constexpr double kPlateSide = 100;
constexpr int kLabelPixelSize = 52;
constexpr double kLabelOffset = 2;
constexpr int kFirstSpace = 1;
constexpr int kLastSpace = 39;
constexpr float kIconOpacity = 0.7f;
constexpr double kFadeOpacity = 0.5;

// Set on the representation of every faded picture, so that fading never compounds.
const QString kFadedKey = QStringLiteral("velora-faded");

// The drawings speak in image coordinates (origin bottom-left, y up); QPainter's origin is
// top-left with y down. A rectangle keeps its size; its top edge is canvasHeight - y - h.
QRectF fromBottomLeft(double x, double y, double w, double h, double canvasHeight) {
    return QRectF(x, canvasHeight - y - h, w, h);
}

// The representation to draw an image from at a size in device pixels.
QImage representationFor(const Image& image, QSizeF pixels) {
    return image.bestRepresentation(Size{pixels.width(), pixels.height()});
}

// A blank canvas of the given size in points at the given pixels-per-point.
QImage blankCanvas(Size size, double scale) {
    int w = std::max(1, int(std::lround(size.width * scale)));
    int h = std::max(1, int(std::lround(size.height * scale)));
    QImage canvas(w, h, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(Qt::transparent);
    return canvas;
}

bool isFaded(const QImage& representation) {
    return !representation.text(kFadedKey).isEmpty();
}

ImageRef makeImage(QImage representation, Size size) {
    std::vector<QImage> reps;
    reps.push_back(std::move(representation));
    return std::make_shared<const Image>(std::move(reps), size);
}

// The number's font: "Lucida Grande" where it is installed, else DejaVu Sans (the font the
// project installs everywhere). The pixel size is in the badge's own units, in which the
// plate is 100 wide, so the label has the same proportions on every screen.
QFont labelFont() {
    static const QString family = [] {
        const QStringList families = QFontDatabase::families();
        return families.contains(QStringLiteral("Lucida Grande")) ? QStringLiteral("Lucida Grande")
                                                                  : QStringLiteral("DejaVu Sans");
    }();
    QFont font(family);
    font.setPixelSize(kLabelPixelSize);
    return font;
}

// Draws the space badge (plate and white number) into the target rectangle of the canvas,
// composed in the plate's 100 x 100 units and scaled to the target. Drawing it straight into
// the target keeps the number sharp at every badge size.
void drawSpaceBadge(QPainter& painter, const Image& plate, int space, const QRectF& target) {
    const double P = kPlateSide, Q = kPlateSide;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / P, target.height() / Q);

    double pixelsPerUnit = target.width() / P * painter.device()->devicePixelRatioF();
    QImage plateRep = representationFor(plate, QSizeF(P, Q) * pixelsPerUnit);
    painter.drawImage(QRectF(0, 0, P, Q), plateRep);

    const QString label = QString::asprintf("%d", space);
    const QFont font = labelFont();
    QFontMetricsF metrics(font);
    const double tw = metrics.horizontalAdvance(label);
    const double th = metrics.height();
    painter.setFont(font);
    painter.setPen(Qt::white);
    QRectF labelRect =
        fromBottomLeft(P / 2 - tw / 2 + kLabelOffset, Q / 2 - th / 2 + kLabelOffset, tw, th, Q);
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label);
    painter.restore();
}

} // namespace

ImageRef badgedImage(const ImageRef& picture, const BadgeOptions& options) {
    if (!picture || picture->isEmpty()) return picture;
    if (!options.spaceBadge && !options.appBadge) return picture;
    const double W = picture->size().width, H = picture->size().height;
    if (W < kMinimumSide || H < kMinimumSide) return picture;

    const bool drawSpace =
        options.spaceBadge && options.spaceNumber >= kFirstSpace && options.spaceNumber <= kLastSpace;
    if (drawSpace) {
        // A missing or tiny plate means the resource is broken: no badges at all.
        if (!options.plate || options.plate->isEmpty() || options.plate->size().width < kMinimumSide ||
            options.plate->size().height < kMinimumSide)
            return picture;
    }
    const bool drawIcon = options.appBadge && options.appIcon && !options.appIcon->isEmpty();
    if (!drawSpace && !drawIcon) return picture;

    // The canvas keeps the picture's own pixel density.
    const QImage source = picture->bestRepresentation(picture->size());
    const double scale = source.width() / W;
    // A source of the canvas's own pixel size covers it exactly: drawn over transparency it
    // gives its premultiplied self, so the canvas starts as that conversion (one pass over
    // the pixels instead of a fill and a blend).
    const QSize pixels(std::max(1, int(std::lround(W * scale))), std::max(1, int(std::lround(H * scale))));
    const bool covers = source.size() == pixels;
    QImage canvas = covers ? source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                           : blankCanvas(picture->size(), scale);
    canvas.setDevicePixelRatio(scale);
    if (isFaded(source)) canvas.setText(kFadedKey, QStringLiteral("1"));

    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    if (!covers) painter.drawImage(QRectF(0, 0, W, H), source);

    const float m = float(std::max(W, H));
    if (drawSpace) {
        const double P = kPlateSide, Q = kPlateSide;
        const double bw = double(m) / P * 10, bh = double(m) / Q * 10;
        drawSpaceBadge(painter, *options.plate, options.spaceNumber,
                       fromBottomLeft(W - bw, H - bh, bw, bh, H));
    }
    if (drawIcon) {
        const double s = double(m / 5.0f);
        const QRectF target = fromBottomLeft(W / 2 - s / 2, H / 2 - s / 2, s, s, H);
        painter.setOpacity(double(kIconOpacity));
        painter.drawImage(target, representationFor(*options.appIcon, target.size() * scale));
        painter.setOpacity(1.0);
    }
    painter.end();
    return makeImage(std::move(canvas), picture->size());
}

ImageRef fadedImage(const ImageRef& picture, Size size) {
    if (!picture || picture->isEmpty()) return nullptr;
    if (size.width < kMinimumSide || size.height < kMinimumSide) return nullptr;

    const QImage source = representationFor(*picture, QSizeF(size.width, size.height));
    const double scale = std::max(1.0, source.devicePixelRatio());
    QImage canvas = blankCanvas(size, scale);
    canvas.setText(kFadedKey, QStringLiteral("1"));

    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(isFaded(source) ? 1.0 : kFadeOpacity);
    painter.drawImage(QRectF(0, 0, size.width, size.height), source);
    painter.end();
    return makeImage(std::move(canvas), size);
}

Size bestSizeForIcon(const ImageRef& image) {
    Size best;
    if (!image) return best;
    for (const QImage& rep : image->representations()) {
        const QSizeF points = rep.deviceIndependentSize();
        if (points.width() > best.width && points.height() > best.height)
            best = Size{points.width(), points.height()};
    }
    return best;
}

namespace {

// An SVG resource rendered at several pixel densities of one size in points.
ImageRef renderSvg(const QString& path, Size points, std::initializer_list<double> scales) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return nullptr;
    std::vector<QImage> reps;
    for (double scale : scales) {
        QImage rep(int(std::lround(points.width * scale)), int(std::lround(points.height * scale)),
                   QImage::Format_ARGB32_Premultiplied);
        rep.fill(Qt::transparent);
        QPainter painter(&rep);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, rep.width(), rep.height()));
        painter.end();
        rep.setDevicePixelRatio(scale);
        reps.push_back(std::move(rep));
    }
    return std::make_shared<const Image>(std::move(reps), points);
}

} // namespace

ImageRef namedPanelImage(const char* name) {
    static std::once_flag registered;
    std::call_once(registered, registerPanelResources);

    static std::mutex lock;
    static std::map<std::string, ImageRef> rendered;
    const std::string key = name ? name : "";
    std::lock_guard<std::mutex> guard(lock);
    if (auto found = rendered.find(key); found != rendered.end()) return found->second;

    ImageRef image;
    if (key == "Space") {
        // Used at 100 x 100; the denser copies keep large badges sharp.
        image = renderSvg(QStringLiteral(":/panel/Space.svg"), Size{100, 100}, {1, 2, 4});
    } else if (key == "empty") {
        // An icon-like image: several sizes of one picture, the largest 512 x 512.
        ImageRef small = renderSvg(QStringLiteral(":/panel/empty.svg"), Size{128, 128}, {1});
        ImageRef medium = renderSvg(QStringLiteral(":/panel/empty.svg"), Size{256, 256}, {1});
        ImageRef large = renderSvg(QStringLiteral(":/panel/empty.svg"), Size{512, 512}, {1});
        if (small && medium && large) {
            std::vector<QImage> reps{small->representations()[0], medium->representations()[0],
                                     large->representations()[0]};
            image = std::make_shared<const Image>(std::move(reps), Size{256, 256});
        }
    }
    if (image) rendered.emplace(key, image);
    return image;
}

} // namespace velora
