// The panel over real clients: a screenshot of the screen while an Alt-Tab switch is held,
// with the pictures of the windows behind it. Saved beside the test program, and as the
// README's picture in docs/images when VELORA_UPDATE_DOCS_IMAGES=1.
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
    const auto pine = openWindows({"Drawing", "Palette"});
    ASSERT_TRUE(clock && eyes && notes && build && pine.size() == 2);
    activateInOrder({pine[1], pine[0], notes, build});

    const QRect area = holdSwitch();
    ASSERT_FALSE(area.isNull()) << "no panel";
    const QImage shot = shotWithPictures(area, 0.08);
    x_->setDesktopColour(0);
    releaseSwitch();
    ASSERT_FALSE(shot.isNull());
    saveShot(shot, "panel-x11.png");
}

} // namespace
} // namespace velora::e2e
