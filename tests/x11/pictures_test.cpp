// Window pictures through Composite: covered, off-desktop and minimised windows.
#include "platform/ax_names.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

class PicturesTest : public X11Test {
protected:
    // The picture at the window's own size.
    QImage picture(uint32_t window) {
        Rect bounds;
        if (!desktop->windowServer().windowBounds(window, bounds)) return {};
        return desktop->windowServer().captureWindow(window, {bounds.width, bounds.height});
    }
    static bool allOf(const QImage& image, QRgb colour) {
        if (image.isNull()) return false;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                if ((image.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF)) return false;
        return true;
    }
    bool minimized(uint32_t window) {
        AXValue v;
        return desktop->accessibility().copyAttributeValue(windowElement(window), ax::Minimized, v) ==
                   AXError::Success &&
               std::get<bool>(v);
    }
};

TEST_F(PicturesTest, ACoveredWindowIsPicturedWithItsOwnPixels) {
    FakeWindow::Spec below;
    below.color = 0xCC2211;
    below.x = 300;
    below.y = 200;
    FakeWindow red(below);
    ASSERT_TRUE(waitForWindow(red.id()));
    ASSERT_TRUE(eventually([&] { return allOf(picture(red.id()), 0xCC2211); })) << "the window's own colour";

    // Another window on top of it, exactly over it.
    Rect bounds;
    ASSERT_TRUE(desktop->windowServer().windowBounds(red.id(), bounds));
    FakeWindow::Spec over = below;
    over.color = 0x1144EE;
    FakeWindow blue(over);
    ASSERT_TRUE(waitForWindow(blue.id()));
    ASSERT_TRUE(focus(blue.id()));
    const QImage image = picture(red.id());
    EXPECT_TRUE(allOf(image, 0xCC2211));
    EXPECT_EQ(image.size(), QSize(int(bounds.width), int(bounds.height)));

    // Any size asked for.
    const QImage small = desktop->windowServer().captureWindow(red.id(), {50, 30});
    EXPECT_EQ(small.size(), QSize(50, 30));
    EXPECT_TRUE(allOf(small, 0xCC2211));
    EXPECT_TRUE(desktop->windowServer().captureWindow(red.id(), {0, 30}).isNull());
}

TEST_F(PicturesTest, MinimisedAndOffDesktopWindowsKeepTheirLastPicture) {
    FakeWindow::Spec spec;
    spec.color = 0x22AA44;
    FakeWindow green(spec);
    ASSERT_TRUE(waitForWindow(green.id()));
    ASSERT_TRUE(eventually([&] { return allOf(picture(green.id()), 0x22AA44); }));

    runAndRead({"wmctrl", "-i", "-r", std::to_string(green.id()), "-t", "1"});
    ASSERT_TRUE(eventually([&] { return desktop->windowServer().windowSpace(green.id()) == 2; }));
    EXPECT_TRUE(allOf(picture(green.id()), 0x22AA44));

    runAndRead({"wmctrl", "-i", "-r", std::to_string(green.id()), "-t", "0"});
    ASSERT_TRUE(eventually([&] { return desktop->windowServer().windowSpace(green.id()) == 1; }));
    AXValue button;
    ASSERT_EQ(desktop->accessibility().copyAttributeValue(windowElement(green.id()), ax::MinimizeButton, button),
              AXError::Success);
    desktop->accessibility().performAction(std::get<AXElement>(button), ax::ActionPress);
    ASSERT_TRUE(eventually([&] { return minimized(green.id()); }));
    EXPECT_TRUE(allOf(picture(green.id()), 0x22AA44));
}

TEST_F(PicturesTest, WindowsThatCannotBePicturedGiveNoImage) {
    EXPECT_TRUE(desktop->windowServer().captureWindow(0, {10, 10}).isNull());
    EXPECT_TRUE(desktop->windowServer().captureWindow(0x7FFFFFF, {10, 10}).isNull());
    FakeWindow::Spec spec;
    auto fake = std::make_unique<FakeWindow>(spec);
    const uint32_t id = fake->id();
    ASSERT_TRUE(waitForWindow(id));
    fake->destroy();
    EXPECT_TRUE(eventually([&] { return desktop->windowServer().captureWindow(id, {10, 10}).isNull(); }));
    Rect bounds;
    EXPECT_FALSE(desktop->windowServer().windowBounds(id, bounds));
}

} // namespace
} // namespace velora::test
