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
};

TEST_F(PicturesTest, ACoveredWindowIsPicturedWithItsOwnPixelsAtAnySize) {
    FakeWindow::Options below;
    below.color = 0xCC2211;
    below.x = 300;
    below.y = 200;
    FakeWindow red(below);
    ASSERT_TRUE(waitForWindow(red.id()));
    ASSERT_TRUE(eventually([&] { return allOf(picture(red.id()), 0xCC2211); })) << "the window's own colour";

    // Another window exactly over it.
    FakeWindow::Options over = below;
    over.color = 0x1144EE;
    FakeWindow blue(over);
    ASSERT_TRUE(waitForWindow(blue.id()));
    ASSERT_TRUE(focus(blue.id()));
    EXPECT_TRUE(allOf(picture(red.id()), 0xCC2211));
    const QImage small = desktop->windowServer().captureWindow(red.id(), {50, 30});
    EXPECT_EQ(small.size(), QSize(50, 30));
    EXPECT_TRUE(allOf(small, 0xCC2211));
    EXPECT_TRUE(desktop->windowServer().captureWindow(red.id(), {0, 30}).isNull());
}

TEST_F(PicturesTest, MinimisedAndOffDesktopWindowsKeepTheirLastPicture) {
    FakeWindow::Options options;
    options.color = 0x22AA44;
    FakeWindow green(options);
    ASSERT_TRUE(waitForWindow(green.id()));
    ASSERT_TRUE(eventually([&] { return allOf(picture(green.id()), 0x22AA44); }));
    auto& ws = desktop->windowServer();

    display->moveToDesktop(green.id(), 1);
    ASSERT_TRUE(eventually([&] { return ws.windowSpace(green.id()) == 2; }));
    EXPECT_TRUE(allOf(picture(green.id()), 0x22AA44));

    display->moveToDesktop(green.id(), 0);
    ASSERT_TRUE(eventually([&] { return ws.windowSpace(green.id()) == 1; }));
    desktop->accessibility().setAttributeValue(windowElement(green.id()), ax::Minimized, true);
    ASSERT_TRUE(eventually([&] { return display->isIconic(green.id()); }));
    EXPECT_TRUE(allOf(picture(green.id()), 0x22AA44));
}

} // namespace
} // namespace velora::test
