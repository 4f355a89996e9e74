// Badges and fades on real pixels. Expected positions are given in the drawing's own terms
// (origin bottom-left) and checked on the image's rows, which count from the top.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>

#include <cmath>

#include "panel/badge_drawing.h"
#include "support/solid_picture.h"

namespace velora {
namespace {

using test::solidPicture;

const QColor kPicture(0, 0, 255);
const QColor kIcon(255, 0, 0);

QImage pixels(const ImageRef& image) {
    return image->representations().front().convertToFormat(QImage::Format_ARGB32);
}

// A rectangle given with its lower-left corner in a picture of height h, as image rows.
QRect rowsOf(int x, int y, int w, int side, int h) { return QRect(x, h - y - side, w, side); }

bool near(QRgb a, QRgb b, int tolerance = 2) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// Every pixel outside the given rectangles still shows the plain picture.
void expectUntouchedOutside(const QImage& image, std::initializer_list<QRect> drawn) {
    const QRgb plain = kPicture.rgba();
    int changed = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            bool inside = false;
            for (const QRect& r : drawn) inside = inside || r.contains(x, y);
            if (!inside && image.pixel(x, y) != plain) ++changed;
        }
    EXPECT_EQ(changed, 0);
}

// The icon covers exactly its square, blended at 0.7 over the picture.
void expectIconAt(const QImage& image, const QRect& square) {
    const QRgb blended = qRgb(int(std::lround(255 * 0.7)), 0, int(std::lround(255 * 0.3)));
    int wrong = 0;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x)
            if (!near(image.pixel(x, y), blended)) ++wrong;
    EXPECT_EQ(wrong, 0) << "icon square " << square.x() << "," << square.y();
    EXPECT_EQ(image.pixel(square.left() - 1, square.center().y()), kPicture.rgba());
    EXPECT_EQ(image.pixel(square.right() + 1, square.center().y()), kPicture.rgba());
    EXPECT_EQ(image.pixel(square.center().x(), square.top() - 1), kPicture.rgba());
    EXPECT_EQ(image.pixel(square.center().x(), square.bottom() + 1), kPicture.rgba());
}

// The plate fills its square: neutral grey near each edge's middle, hiding the blue picture,
// with white label pixels inside.
// Returns the bounding box of the label's pixels.
QRect expectPlateAt(const QImage& image, const QRect& square) {
    const int inset = square.width() / 20;
    for (QPoint p : {QPoint(square.left() + inset, square.center().y()), QPoint(square.right() - inset, square.center().y()),
                     QPoint(square.center().x(), square.top() + inset), QPoint(square.center().x(), square.bottom() - inset)}) {
        QRgb c = image.pixel(p);
        EXPECT_LT(qGray(c), 140) << "plate at " << p.x() << "," << p.y();
        EXPECT_LT(std::abs(qBlue(c) - qRed(c)), 40) << "plate hides the picture at " << p.x() << "," << p.y();
    }
    QRect label;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x) {
            QRgb c = image.pixel(x, y);
            if (qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230) label |= QRect(x, y, 1, 1);
        }
    EXPECT_FALSE(label.isEmpty()) << "no white number on the plate";
    EXPECT_TRUE(square.contains(label));
    return label;
}

BadgeOptions bothOn(int space) {
    BadgeOptions options;
    options.spaceBadge = true;
    options.appBadge = true;
    options.spaceNumber = space;
    options.appIcon = solidPicture(64, 64, kIcon);
    options.plate = namedPanelImage("Space");
    return options;
}

TEST(BadgeDrawing, WidePictureGetsPlateTopRightAndIconInTheMiddle) {
    ImageRef picture = solidPicture(1000, 600, kPicture);
    ImageRef badged = badgedImage(picture, bothOn(3));
    ASSERT_NE(badged, picture);
    EXPECT_EQ(badged->size(), (Size{1000, 600}));
    QImage image = pixels(badged);
    ASSERT_EQ(image.size(), QSize(1000, 600));

    const QRect plate = rowsOf(900, 500, 100, 100, 600);
    EXPECT_EQ(plate, QRect(900, 0, 100, 100));
    const QRect icon = rowsOf(400, 200, 200, 200, 600);
    expectIconAt(image, icon);
    QRect label = expectPlateAt(image, plate);
    // The number sits about the plate's middle.
    EXPECT_NEAR(label.center().x(), plate.center().x(), 10);
    EXPECT_NEAR(label.center().y(), plate.center().y(), 12);
    expectUntouchedOutside(image, {plate, icon});
}

TEST(BadgeDrawing, TallPictureScalesBadgesByItsLongerSide) {
    ImageRef badged = badgedImage(solidPicture(300, 800, kPicture), bothOn(3));
    QImage image = pixels(badged);
    const QRect plate = rowsOf(220, 720, 80, 80, 800);
    const QRect icon = rowsOf(70, 320, 160, 160, 800);
    EXPECT_EQ(plate, QRect(220, 0, 80, 80));
    expectIconAt(image, icon);
    expectPlateAt(image, plate);
    expectUntouchedOutside(image, {plate, icon});
}

TEST(BadgeDrawing, TwoDigitNumbersAreWiderAndSpacesPast39GetNoPlate) {
    QImage three = pixels(badgedImage(solidPicture(1000, 600, kPicture), bothOn(3)));
    QImage thirtyNine = pixels(badgedImage(solidPicture(1000, 600, kPicture), bothOn(39)));
    const QRect plate(900, 0, 100, 100);
    EXPECT_GT(expectPlateAt(thirtyNine, plate).width(), expectPlateAt(three, plate).width() * 3 / 2);

    for (int space : {40, 0, -1}) {
        QImage image = pixels(badgedImage(solidPicture(1000, 600, kPicture), bothOn(space)));
        const QRect icon = rowsOf(400, 200, 200, 200, 600);
        expectIconAt(image, icon);
        expectUntouchedOutside(image, {icon});
    }
}

TEST(BadgeDrawing, NothingToDrawKeepsTheVeryPicture) {
    ImageRef picture = solidPicture(1000, 600, kPicture);
    BadgeOptions off = bothOn(3);
    off.spaceBadge = off.appBadge = false;
    EXPECT_EQ(badgedImage(picture, off), picture);

    // Space badge only, but no number to show.
    BadgeOptions spaceOnly = bothOn(40);
    spaceOnly.appBadge = false;
    EXPECT_EQ(badgedImage(picture, spaceOnly), picture);

    // Icon badge only, but the application has no icon.
    BadgeOptions noIcon = bothOn(3);
    noIcon.spaceBadge = false;
    noIcon.appIcon = nullptr;
    EXPECT_EQ(badgedImage(picture, noIcon), picture);

    EXPECT_EQ(badgedImage(nullptr, bothOn(3)), nullptr);
}

TEST(BadgeDrawing, MissingOrTinyPlateStopsAllBadges) {
    ImageRef picture = solidPicture(1000, 600, kPicture);
    BadgeOptions missing = bothOn(3);
    missing.plate = nullptr;
    EXPECT_EQ(badgedImage(picture, missing), picture);
    BadgeOptions tiny = bothOn(3);
    tiny.plate = solidPicture(4, 4, Qt::black);
    EXPECT_EQ(badgedImage(picture, tiny), picture);

    // Without a number to draw the plate is never looked at: the icon still comes.
    BadgeOptions noNumber = bothOn(0);
    noNumber.plate = nullptr;
    EXPECT_NE(badgedImage(picture, noNumber), picture);
}

TEST(BadgeDrawing, PicturesUnderFivePointsAreNeitherBadgedNorFaded) {
    ImageRef thin = solidPicture(4, 300, kPicture);
    EXPECT_EQ(badgedImage(thin, bothOn(3)), thin);
    EXPECT_EQ(fadedImage(thin, thin->size()), nullptr);
    EXPECT_EQ(fadedImage(solidPicture(300, 300, kPicture), Size{300, 4.9}), nullptr);
    EXPECT_EQ(fadedImage(nullptr, Size{300, 300}), nullptr);
}

TEST(BadgeDrawing, FadingHalvesOpacityOnceAndNeverCompounds) {
    ImageRef picture = solidPicture(1000, 600, kPicture);
    ImageRef once = fadedImage(picture, picture->size());
    ASSERT_TRUE(once);
    EXPECT_EQ(once->size(), picture->size());
    ImageRef twice = fadedImage(once, once->size());
    ASSERT_TRUE(twice);
    for (const ImageRef& faded : {once, twice}) {
        QImage image = pixels(faded);
        ASSERT_EQ(image.size(), QSize(1000, 600));
        for (QPoint p : {QPoint(0, 0), QPoint(999, 599), QPoint(500, 300), QPoint(950, 50)}) {
            QRgb c = image.pixel(p);
            EXPECT_NEAR(qAlpha(c), 128, 1);
            EXPECT_NEAR(qBlue(c), 255, 2);
        }
    }
    // A badged picture of a faded one stays faded once.
    QImage rebadgedFade = pixels(fadedImage(badgedImage(once, bothOn(3)), picture->size()));
    EXPECT_NEAR(qAlpha(rebadgedFade.pixel(10, 590)), 128, 1);
}

TEST(BadgeDrawing, IconsFadeAtTheirLargestRepresentation) {
    QImage small(16, 16, QImage::Format_ARGB32_Premultiplied), large(512, 512, QImage::Format_ARGB32_Premultiplied),
        medium(32, 32, QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::green);
    large.fill(kIcon);
    medium.fill(Qt::green);
    auto icon = std::make_shared<const Image>(std::vector<QImage>{small, large, medium}, Size{32, 32});
    const Size best = bestSizeForIcon(icon);
    EXPECT_EQ(best, (Size{512, 512}));
    ImageRef faded = fadedImage(icon, best);
    QImage image = pixels(faded);
    ASSERT_EQ(image.size(), QSize(512, 512));
    // Drawn from the large representation, not scaled up from a small one.
    EXPECT_NEAR(qRed(image.pixel(256, 256)), 255, 2);
    EXPECT_NEAR(qAlpha(image.pixel(256, 256)), 128, 1);
}

TEST(BadgeDrawing, BestSizeNeedsBothSidesLarger) {
    auto reps = [](std::vector<QSize> sizes) {
        std::vector<QImage> images;
        for (QSize s : sizes) images.emplace_back(s, QImage::Format_ARGB32_Premultiplied);
        return std::make_shared<const Image>(std::move(images), Size{10, 10});
    };
    EXPECT_EQ(bestSizeForIcon(reps({{100, 50}, {80, 80}})), (Size{100, 50}));
    EXPECT_EQ(bestSizeForIcon(reps({{16, 16}, {512, 512}, {32, 32}})), (Size{512, 512}));
    EXPECT_EQ(bestSizeForIcon(reps({})), (Size{0, 0}));
    EXPECT_EQ(bestSizeForIcon(nullptr), (Size{0, 0}));
    // Sizes are in points: a double-density representation counts at half its pixels.
    QImage dense(200, 200, QImage::Format_ARGB32_Premultiplied);
    dense.setDevicePixelRatio(2);
    EXPECT_EQ(bestSizeForIcon(std::make_shared<const Image>(std::vector<QImage>{dense}, Size{100, 100})),
              (Size{100, 100}));
}

TEST(BadgeDrawing, NamedImagesComeFromResources) {
    ImageRef plate = namedPanelImage("Space");
    ASSERT_TRUE(plate);
    EXPECT_EQ(plate->size(), (Size{100, 100}));
    QImage rep = plate->representations().front().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(rep.pixel(0, 0)), 0) << "rounded corners";
    EXPECT_GT(qAlpha(rep.pixel(50, 50)), 200);

    ImageRef empty = namedPanelImage("empty");
    ASSERT_TRUE(empty);
    EXPECT_EQ(bestSizeForIcon(empty), (Size{512, 512}));
    EXPECT_EQ(namedPanelImage("Space"), plate) << "rendered once, shared";
    EXPECT_EQ(namedPanelImage("nothing"), nullptr);
}

} // namespace
} // namespace velora
