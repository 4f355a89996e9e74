// Window pictures through Composite: covered, minimised and off-desktop windows; a redraw
// reported by Damage; and a window's space, its EWMH desktop numbered from 1.
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

TEST_F(PicturesTest, ACoveredOrMinimisedWindowIsPicturedWithItsOwnPixels) {
    FakeWindow::Options below;
    below.color = 0xCC2211;
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
    EXPECT_TRUE(allOf(desktop->windowServer().captureWindow(red.id(), {50, 30}), 0xCC2211));

    // Minimised: the last picture stays.
    desktop->accessibility().setAttributeValue(windowElement(red.id()), ax::Minimized, true);
    ASSERT_TRUE(eventually([&] { return display->isIconic(red.id()); }));
    EXPECT_TRUE(allOf(picture(red.id()), 0xCC2211));
}

TEST_F(PicturesTest, AWindowOnAnotherDesktopIsInThatSpaceOffScreenAndStillPictured) {
    FakeWindow::Options options;
    options.color = 0x22AA44;
    FakeWindow green(options);
    ASSERT_TRUE(waitForWindow(green.id()));
    auto& ws = desktop->windowServer();
    ASSERT_TRUE(
        eventually([&] { return ws.windowSpace(green.id()) == 1 && allOf(picture(green.id()), 0x22AA44); }));
    EXPECT_TRUE(contains(ws.spaceWindowList(1), green.id()));

    display->moveToDesktop(green.id(), 2);
    EXPECT_TRUE(eventually([&] { return ws.windowSpace(green.id()) == 3; }));
    EXPECT_TRUE(contains(ws.spaceWindowList(3), green.id()));
    EXPECT_FALSE(contains(ws.spaceWindowList(1), green.id()));
    ASSERT_TRUE(listEntry(green.id()));
    EXPECT_FALSE(listEntry(green.id())->isOnscreen);
    EXPECT_TRUE(allOf(picture(green.id()), 0x22AA44));

    // A window on every desktop is on each space, and counts as on the current one.
    display->moveToDesktop(green.id(), 0xFFFFFFFF);
    EXPECT_TRUE(eventually([&] { return contains(ws.spaceWindowList(2), green.id()); }));
    EXPECT_EQ(ws.windowSpace(green.id()), 1);
}

// A redraw changes the window's contents version (one Damage event, nothing read), and the
// next capture shows the new pixels.
TEST_F(PicturesTest, ARedrawMarksThePictureStaleAndTheNextCaptureShowsIt) {
    FakeWindow::Options options;
    options.color = 0xCC2211;
    FakeWindow window(options);
    ASSERT_TRUE(waitForWindow(window.id()));
    ASSERT_TRUE(eventually([&] { return allOf(picture(window.id()), 0xCC2211); }));
    auto& ws = desktop->windowServer();
    ASSERT_TRUE(desktop->sync());
    const std::optional<uint64_t> drawn = ws.windowContentsVersion(window.id());
    ASSERT_TRUE(drawn);

    window.repaint(0x1144EE);
    ASSERT_TRUE(desktop->sync());
    EXPECT_NE(ws.windowContentsVersion(window.id()), drawn);
    EXPECT_TRUE(allOf(picture(window.id()), 0x1144EE));
}

} // namespace
} // namespace velora::test
