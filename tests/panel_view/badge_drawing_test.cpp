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

// Counts the pixels of the region that fail.
int failing(const QImage& image, const QRegion& region, auto&& fails) {
    int count = 0;
    for (const QRect& r : region)
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                count += fails(image.pixel(x, y)) ? 1 : 0;
    return count;
}

// The plate hides the picture with neutral grey near each edge's middle and carries a white
// number; returns the number's bounding box.
QRect expectPlateAt(const QImage& image, const QRect& square) {
    const int inset = square.width() / 20;
    for (QPoint p : {QPoint(square.left() + inset, square.center().y()),
                     QPoint(square.right() - inset, square.center().y()),
                     QPoint(square.center().x(), square.top() + inset),
                     QPoint(square.center().x(), square.bottom() - inset)}) {
        const QRgb c = image.pixel(p);
        EXPECT_TRUE(qGray(c) < 140 && std::abs(qBlue(c) - qRed(c)) < 40)
            << "plate at " << p.x() << "," << p.y();
    }
    QRect label;
    for (int y = square.top(); y <= square.bottom(); ++y)
        for (int x = square.left(); x <= square.right(); ++x)
            if (QColor(image.pixel(x, y)).lightness() > 235) label |= QRect(x, y, 1, 1);
    EXPECT_FALSE(label.isEmpty()) << "no white number on the plate";
    return label;
}

BadgeOptions bothOn(int space) {
    BadgeOptions options;
    options.spaceBadge = options.appBadge = true;
    options.spaceNumber = space;
    options.appIcon = solidPicture(64, 64, kIcon);
    options.plate = namedPanelImage("Space");
    return options;
}

TEST(BadgeDrawing, PlateTopRightAndIconInTheMiddleScaleWithTheLongerSide) {
    struct Case {
        int w, h, space;
        QRect plate; // empty: no plate for that space
        QRect icon;
    };
    const Case cases[] = {
        {1000, 600, 3, QRect(900, 0, 100, 100), QRect(400, 200, 200, 200)},
        {1000, 600, 39, QRect(900, 0, 100, 100), QRect(400, 200, 200, 200)},
        {300, 800, 3, QRect(220, 0, 80, 80), QRect(70, 320, 160, 160)},
        {1000, 600, 40, QRect(), QRect(400, 200, 200, 200)},
        {1000, 600, 0, QRect(), QRect(400, 200, 200, 200)},
    };
    // The icon is blended at 0.7 over the picture.
    const QRgb blended = qRgb(int(std::lround(255 * 0.7)), 0, int(std::lround(255 * 0.3)));
    auto notBlended = [&](QRgb c) {
        return std::abs(qRed(c) - qRed(blended)) > 2 || qGreen(c) > 2 ||
               std::abs(qBlue(c) - qBlue(blended)) > 2;
    };
    auto notPlain = [](QRgb c) { return c != kPicture.rgba(); };
    std::vector<int> labelWidths;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " space " << c.space);
        const QImage image = pixels(badgedImage(solidPicture(c.w, c.h, kPicture), bothOn(c.space)));
        ASSERT_EQ(image.size(), QSize(c.w, c.h));
        EXPECT_EQ(failing(image, c.icon, notBlended), 0);
        EXPECT_EQ(failing(image, QRegion(image.rect()) - c.plate - c.icon, notPlain), 0);
        if (c.plate.isEmpty()) continue;
        const QRect label = expectPlateAt(image, c.plate);
        EXPECT_TRUE(c.plate.contains(label));
        labelWidths.push_back(label.width());
    }
    EXPECT_GT(labelWidths[1], labelWidths[0] * 3 / 2) << "two digits are wider than one";
}

TEST(BadgeDrawing, FadingHalvesOpacityOnceAndNeverCompoundsNorTouchesTinyPictures) {
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

    const ImageRef thin = solidPicture(4, 300, kPicture);
    EXPECT_EQ(badgedImage(thin, bothOn(3)), thin);
    EXPECT_EQ(fadedImage(thin, thin->size()), nullptr);
    EXPECT_EQ(fadedImage(picture, Size{300, 4.9}), nullptr);
    EXPECT_EQ(fadedImage(nullptr, Size{300, 300}), nullptr);
}

} // namespace
} // namespace velora
