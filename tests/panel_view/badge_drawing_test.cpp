// Badges and fades on real pixels. Rectangles are in image rows (top-left origin); the
// drawing itself works from the bottom-left, so "top right" is row 0.
#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>

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

// Counts the pixels of the region that match.
int matching(const QImage& image, const QRegion& region, auto&& matches) {
    int count = 0;
    for (const QRect& r : region)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                count += matches(image.pixel(x, y)) ? 1 : 0;
    return count;
}

BadgeOptions bothOn(int space) {
    BadgeOptions options;
    options.spaceBadge = options.appBadge = true;
    options.spaceNumber = space;
    options.appIcon = solidPicture(64, 64, kIcon);
    options.plate = namedPanelImage("Space");
    return options;
}

// The plate top right carries the white number; nothing but the plate and the icon (blended at
// 0.7 in the middle) covers the picture.
TEST(BadgeDrawing, PlateTopRightAndIconInTheMiddleLeaveTheRestOfThePicture) {
    struct Case {
        int space;
        QRect plate; // empty: no plate for that space
    };
    const Case cases[] = {{3, QRect(900, 0, 100, 100)}, {0, QRect()}};
    const QRect icon(400, 200, 200, 200);
    const QRgb blended = qRgb(int(std::lround(255 * 0.7)), 0, int(std::lround(255 * 0.3)));
    auto notBlended = [&](QRgb c) {
        return std::abs(qRed(c) - qRed(blended)) > 2 || qGreen(c) > 2 ||
               std::abs(qBlue(c) - qBlue(blended)) > 2;
    };
    auto notPlain = [](QRgb c) { return c != kPicture.rgba(); };
    auto white = [](QRgb c) { return QColor(c).lightness() > 235; };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "space " << c.space);
        const QImage image = pixels(badgedImage(solidPicture(1000, 600, kPicture), bothOn(c.space)));
        ASSERT_EQ(image.size(), QSize(1000, 600));
        EXPECT_EQ(matching(image, icon, notBlended), 0);
        EXPECT_EQ(matching(image, QRegion(image.rect()) - c.plate - icon, notPlain), 0);
        EXPECT_TRUE(c.plate.isEmpty() || matching(image, c.plate, white) > 20)
            << "no white number on the plate";
    }
}

TEST(BadgeDrawing, FadingHalvesOpacityOnceAndNeverCompounds) {
    const ImageRef picture = solidPicture(1000, 600, kPicture);
    const ImageRef once = fadedImage(picture, picture->size());
    ASSERT_TRUE(once);
    const ImageRef twice = fadedImage(once, once->size());
    // A badged picture of a faded one stays faded once.
    const ImageRef rebadged = fadedImage(badgedImage(once, bothOn(3)), picture->size());
    for (const ImageRef& faded : {once, twice, rebadged}) {
        ASSERT_TRUE(faded);
        const QImage image = pixels(faded);
        ASSERT_EQ(image.size(), QSize(1000, 600));
        for (QPoint p : {QPoint(0, 0), QPoint(999, 599), QPoint(10, 590)}) {
            EXPECT_NEAR(qAlpha(image.pixel(p)), 128, 1);
            EXPECT_NEAR(qBlue(image.pixel(p)), 255, 2);
        }
    }
    EXPECT_EQ(fadedImage(nullptr, Size{300, 300}), nullptr);
}

} // namespace
} // namespace velora
