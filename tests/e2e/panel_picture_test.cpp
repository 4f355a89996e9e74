// The panel over real clients: a screenshot of the screen while an Alt-Tab switch is held,
// with the pictures of the windows behind it. Saved next to the test's files, and as the
// README's picture in docs/images when VELORA_UPDATE_DOCS_IMAGES=1.
#include <QColor>
#include <QDir>
#include <QString>

#include <algorithm>
#include <cstdlib>

#include "desktop_session.h"

namespace velora::e2e {
namespace {

class PanelPicture : public DesktopSession {};

TEST_F(PanelPicture, ShowsThePicturesOfRealWindowsWhileTheSwitchIsHeld) {
    ASSERT_TRUE(startVelora());
    x_->setDesktopColour(0x3a5a78);
    const xcb_window_t clock =
        startClient({"xclock", "-title", "Clock", "-geometry", "200x200+900+40"}, "Clock");
    const xcb_window_t eyes =
        startClient({"xeyes", "-title", "Eyes", "-geometry", "180x120+1060+560"}, "Eyes");
    const xcb_window_t notes = startXterm(
        "Notes",
        "printf 'Shopping\\n  bread\\n  olives\\n  lemons\\n\\nCall Sam at six\\n'; exec cat >/dev/null");
    const xcb_window_t build = startXterm(
        "Build", "printf '$ cmake --build build\\n[ 12%%] Building CXX object src/model/vl_element.cpp.o\\n"
                 "[ 47%%] Building CXX object src/panel/ikb_controller.cpp.o\\n[ 83%%] Linking CXX "
                 "executable velora\\n"
                 "[100%%] Built target velora\\n$ '; exec cat >/dev/null");
    const auto pine = startWindowClient({"Drawing", "Palette"});
    ASSERT_TRUE(clock && eyes && notes && build && pine.size() == 2);
    activateInOrder({pine[1], pine[0], notes, build});

    xdotool({"keydown", "alt", "key", "Tab"});
    ASSERT_TRUE(waitForPanel());
    const xcb_window_t panel = x_->shownPanel();
    // An override-redirect window (shownPanel() asks for one) the manager does not list.
    const auto clients = x_->clientList();
    EXPECT_EQ(std::find(clients.begin(), clients.end(), panel), clients.end())
        << "the manager lists the panel";
    // The pictures are taken in the background after the panel shows: once the last has
    // reached its cell, the screen shows them at the next paint.
    EXPECT_TRUE(waitForMark("pictures")) << "the pictures never all arrived";
    const QRect area = x_->rootGeometry(panel);
    QImage shot;
    waitFor([&] {
        shot = x_->screenshot();
        return !shot.isNull() && whiteShare(shot, area.intersected(shot.rect())) > 0.08;
    });
    x_->setDesktopColour(0);
    const std::size_t activated = activations();
    xdotool({"keyup", "alt"});
    EXPECT_EQ(titleOf(waitForSwitch(activated)), "Notes");
    ASSERT_FALSE(shot.isNull());

    EXPECT_EQ(area.size(), QSize(637, 437)) << "the panel is not at its first-run size";
    EXPECT_GT(whiteShare(shot, area.intersected(shot.rect())), 0.08) << "the panel shows no window pictures";

    const bool update = std::getenv("VELORA_UPDATE_DOCS_IMAGES") &&
                        std::string(std::getenv("VELORA_UPDATE_DOCS_IMAGES")) == "1";
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
