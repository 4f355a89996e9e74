// Where and how the panel shows on desktops other than one plain screen: two monitors, a
// scaled (HiDPI) desktop, a compositing manager. The first two run on the desktop made for
// them (scripts/screens.sh starts it and names it in VELORA_SCREENS_DESKTOP) and are skipped
// elsewhere; the compositor test starts picom on the usual test desktop.
#include <cstdlib>
#include <memory>
#include <string>

#include "desktop_session.h"

namespace velora::e2e {
namespace {

bool onDesktop(const char* name) {
    const char* desktop = std::getenv("VELORA_SCREENS_DESKTOP");
    return desktop && std::string(desktop) == name;
}

int distance(QRgb a, QRgb b) {
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

class Screens : public DesktopSession {};

// DUMMY0 (primary) at 0,0 and DUMMY1 at 1280,0, both 1280x800. Velora's panel is set wider
// than a monitor, and full screen for windows (Alt-Tab) but not for applications (Super-Tab).
TEST_F(Screens, ThePanelShowsWhollyOnTheMonitorOfTheFocusedWindowWhereverThePointerIs) {
    if (!onDesktop("two-monitors")) GTEST_SKIP() << "not the two-monitor desktop";
    const QRect primary(0, 0, 1280, 800), second(1280, 0, 1280, 800);
    ASSERT_TRUE(startVelora(PlistValue::Dictionary{{"windowWidth", 2000.0}, {"fullScreenWindows", 1}}));
    // Two applications: a window "Left" of this process on the primary, an xterm on the second.
    const auto client = openWindows({"Left"});
    const xcb_window_t right = startClient({"xterm", "-T", "Right", "-geometry", "72x18+1500+200"}, "Right");
    ASSERT_TRUE(client.size() == 1 && right);
    const xcb_window_t left = client[0];
    ASSERT_TRUE(second.contains(x_->rootGeometry(right)))
        << "the manager did not place Right on the second monitor";
    activateInOrder({left, right});
    const auto at = [](const QRect& r) {
        return std::to_string(r.width()) + "x" + std::to_string(r.height()) + " at " + std::to_string(r.x()) +
               "," + std::to_string(r.y());
    };

    // Focused window on the second monitor, pointer on the primary: the panel, wider than a
    // monitor, is cut down to the second one, not spread over both.
    xdotool({"mousemove", "300", "300"});
    std::size_t activated = activations();
    QRect panel = holdSwitch("super");
    EXPECT_TRUE(second.contains(panel) && panel.width() == second.width()) << at(panel);
    releaseSwitch("super");
    ASSERT_EQ(titleOf(waitForSwitch(activated)), "Left");

    // Focused window on the primary, pointer on the second: full screen covers the primary.
    xdotool({"mousemove", "1900", "400"});
    activated = activations();
    EXPECT_EQ(panel = holdSwitch(), primary) << at(panel);
    releaseSwitch();
    ASSERT_EQ(titleOf(waitForSwitch(activated)), "Right");

    // No focused window (both minimised): the pointer's monitor.
    activate(left);
    xdotool({"windowminimize", std::to_string(left)});
    xdotool({"windowminimize", std::to_string(right)});
    ASSERT_TRUE(waitFor([&] { return x_->activeWindow() == 0; })) << "a window keeps the focus";
    EXPECT_EQ(panel = holdSwitch(), second) << at(panel);
    releaseSwitch();
}

// A 2560x1600 screen at twice the usual density: Xft.dpi 192 in the resources, or
// QT_SCALE_FACTOR=2 in the environment.
TEST_F(Screens, OnAScaledDesktopThePanelKeepsItsLogicalSizeAndDrawsAtTheScreensDensity) {
    if (!onDesktop("hidpi")) GTEST_SKIP() << "not the scaled desktop";
    ASSERT_TRUE(startVelora());
    x_->setDesktopColour(0x3a5a78);
    const xcb_window_t notes =
        startXterm("Notes", "printf 'Shopping\\n  bread\\n  olives\\n'; exec cat >/dev/null");
    const xcb_window_t build = startXterm("HHHH", "printf '$ make\\n'; exec cat >/dev/null");
    ASSERT_TRUE(notes && build);
    activateInOrder({build, notes});

    // Alt-Tab lists windows: the cells hold their pictures and the title is the window's.
    const QRect panel = holdSwitch();
    ASSERT_FALSE(panel.isNull()) << "no panel";
    // The selected title ("HHHH", pure white) in the lower part of the panel: the first and
    // last rows holding white, -1 when there is none yet.
    const auto titleRows = [&](const QImage& shot) {
        int top = -1, bottom = -1;
        for (int y = panel.top() + panel.height() * 2 / 3; y < panel.bottom(); ++y)
            for (int x = panel.left(); x < panel.right(); ++x)
                if (shot.pixel(x, y) == qRgb(255, 255, 255)) {
                    if (top < 0) top = y;
                    bottom = y;
                    break;
                }
        return std::pair{top, bottom};
    };
    const QImage shot =
        shotWithPictures(panel, 0.08, [&](const QImage& s) { return titleRows(s).first >= 0; });
    releaseSwitch();
    ASSERT_FALSE(shot.isNull());
    x_->setDesktopColour(0);

    // The size setting (637x437, first run) counts logical pixels: twice as many device pixels.
    EXPECT_EQ(panel.size(), QSize(1274, 874));

    // The title's capitals are drawn at the screen's density, twice the 13 device pixels they
    // have on a 96 dpi screen.
    const auto [top, bottom] = titleRows(shot);
    ASSERT_GE(top, 0) << "no title";
    EXPECT_GE(bottom - top + 1, 24) << "the title is drawn at the logical size: " << bottom - top + 1;
    // Sharp, not a small drawing stretched: the plate's straight left edge goes from the
    // desktop to the plate within two device pixels.
    const int y = panel.center().y();
    const QRgb outside = shot.pixel(panel.left() - 1, y), inside = shot.pixel(panel.left() + 3, y);
    EXPECT_LE(distance(shot.pixel(panel.left() + 2, y), inside), 12) << "a blurred edge";
    EXPECT_GT(distance(outside, inside), 40);
    saveShot(shot.copy(panel.adjusted(-40, -40, 40, 40)), "panel-hidpi.png");
}

// A compositor (picom) started while velora runs: the panel, shown next, is an ARGB window
// with rounded corners. Runs on any desktop without a compositor of its own; on a window
// manager that composites itself (scripts/screens.sh names it in VELORA_COMPOSITOR: xfwm4,
// kwin), its own compositor is the one checked and must own the selection already.
TEST_F(Screens, UnderACompositorTheCornersShowTheWindowBehindAndThePlateIsTranslucent) {
    const xcb_atom_t selection = x_->atom("_NET_WM_CM_S0");
    const auto compositing = [&] {
        xcb_get_selection_owner_reply_t* r = xcb_get_selection_owner_reply(
            x_->connection(), xcb_get_selection_owner(x_->connection(), selection), nullptr);
        const bool owned = r && r->owner != XCB_WINDOW_NONE;
        free(r);
        return owned;
    };
    const char* named = std::getenv("VELORA_COMPOSITOR");
    const std::string manager = named && *named ? named : "picom";
    std::unique_ptr<ChildProcess> picom;
    if (manager == "picom") {
        if (compositing()) GTEST_SKIP() << "a compositor runs on this desktop already";
        ASSERT_TRUE(startVelora());
        // No shadows or fading: the pixels around the panel are the window behind it.
        picom =
            ChildProcess::start({"picom", "--config", "/dev/null", "--backend", "xrender"}, environment());
        ASSERT_TRUE(picom) << "cannot start picom";
        ASSERT_TRUE(waitFor([&] { return compositing() || !picom->running(); }) && picom->running())
            << "picom did not take over the screen";
    } else {
        ASSERT_TRUE(waitFor(compositing)) << manager << " does not own _NET_WM_CM_S0: it does not composite";
        ASSERT_TRUE(startVelora());
    }
    // A solid orange window behind the whole panel, and an xterm whose picture the panel shows.
    const QRgb orange = qRgb(0xe0, 0xa0, 0x30);
    const xcb_window_t behind =
        startClient({"xterm", "-T", "Behind", "-bg", "#e0a030", "-geometry", "200x60+0+0"}, "Behind");
    const xcb_window_t notes = startXterm("Notes", "printf 'Shopping\\n  bread\\n'; exec cat >/dev/null");
    ASSERT_TRUE(behind && notes);
    activateInOrder({notes, behind});

    // Alt-Tab lists windows: the cells hold their pictures and the title is the window's.
    const QRect panel = holdSwitch();
    ASSERT_FALSE(panel.isNull()) << "no panel";
    // The pictures of windows that the compositor redirects as well.
    const QImage shot = shotWithPictures(panel, 0.05);
    releaseSwitch();
    ASSERT_FALSE(shot.isNull());

    // Outside the rounded corners: the window behind, untouched.
    for (QPoint corner : {panel.topLeft() + QPoint(1, 1), panel.topRight() + QPoint(-1, 1),
                          panel.bottomLeft() + QPoint(1, -1), panel.bottomRight() + QPoint(-1, -1)})
        EXPECT_LE(distance(shot.pixel(corner), orange), 3) << "corner at " << corner.x() << "," << corner.y();
    // Inside the plate near a corner: dark, yet mixed with the orange behind (an opaque plate
    // would have a red of 24).
    const QRgb plate = shot.pixel(panel.bottomLeft() + QPoint(12, -12));
    EXPECT_LT(qRed(plate), 110);
    EXPECT_GT(qRed(plate), 34) << "the plate is opaque";
    EXPECT_GT(qRed(plate) - qBlue(plate), 10) << "the plate does not show the orange behind";
}

} // namespace
} // namespace velora::e2e
