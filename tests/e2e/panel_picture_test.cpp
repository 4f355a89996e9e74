// The panel over real clients: a screenshot of the screen while an Alt-Tab switch is held,
// with the pictures of the windows behind it. Saved next to the test's files, and as the
// README's picture in docs/images when VELORA_UPDATE_DOCS_IMAGES=1.
#include <QColor>
#include <QDir>
#include <QString>

#include <cstdlib>
#include <set>
#include <thread>

#include "desktop_session.h"

namespace velora::e2e {
namespace {

// How many distinct colours the area holds, up to a limit: a panel of pictures and titles
// has many, a blank or single-colour area few.
int colourCount(const QImage& image, const QRect& area, int limit = 64) {
    std::set<QRgb> seen;
    for (int y = area.top(); y <= area.bottom(); y += 3)
        for (int x = area.left(); x <= area.right(); x += 3) {
            seen.insert(image.pixel(x, y));
            if (int(seen.size()) >= limit) return limit;
        }
    return int(seen.size());
}

class PanelPicture : public DesktopSession {};

TEST_F(PanelPicture, ShowsThePicturesOfRealWindowsWhileTheSwitchIsHeld) {
    ASSERT_TRUE(startVelora());
    const xcb_window_t clock = startClient({"xclock", "-title", "Clock", "-geometry", "200x200+900+40"}, "Clock");
    const xcb_window_t eyes = startClient({"xeyes", "-title", "Eyes", "-geometry", "180x120+1060+560"}, "Eyes");
    const xcb_window_t notes = startXterm(
        "Notes", "printf 'Shopping\\n  bread\\n  olives\\n  lemons\\n\\nCall Sam at six\\n'; exec cat >/dev/null");
    const xcb_window_t build =
        startXterm("Build", "ls -l /usr/bin | head -n 16; printf '\\n[100%%] Built target velora\\n'; exec cat >/dev/null");
    const auto pine = startWindowClient({"Drawing", "Palette"});
    ASSERT_TRUE(clock && eyes && notes && build && pine.size() == 2);
    activateInOrder({pine[1], pine[0], notes, build});

    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(waitForPanel());
    const xcb_window_t panel = x_->shownPanel();
    // The pictures are taken in the background after the panel shows; let them arrive.
    std::this_thread::sleep_for(2s);
    const QImage shot = x_->screenshot();
    xdotool({"keyup", "alt"});
    EXPECT_EQ(titleOf(waitForActiveChange(build)), "Notes");
    ASSERT_FALSE(shot.isNull());
    ASSERT_NE(panel, 0u);

    // The panel sits in the middle of the screen at its first-run size, 637 by 437.
    const QRect middle(shot.width() / 2 - 300, shot.height() / 2 - 200, 600, 400);
    EXPECT_GE(colourCount(shot, middle), 64) << "the middle of the screen holds no pictures";

    const bool update = std::getenv("VELORA_UPDATE_DOCS_IMAGES") && std::string(std::getenv("VELORA_UPDATE_DOCS_IMAGES")) == "1";
    const QString file = update ? QStringLiteral(VELORA_DOCS_IMAGES_DIR "/panel-x11.png")
                                : QString::fromStdString((home() / "panel-x11.png").string());
    EXPECT_TRUE(shot.save(file, "PNG")) << file.toStdString();
    if (!update) {
        // Kept beside the test program for a look after the run.
        shot.save(QDir::currentPath() + QStringLiteral("/panel-x11.png"), "PNG");
    }
}

} // namespace
} // namespace velora::e2e
