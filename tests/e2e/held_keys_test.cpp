// Hot keys another X client holds. A second client that binds Alt+Tab first: velora leaves
// the key to it, says so, and takes the key once the client lets go, without a restart.
// Under a window manager started with its stock configuration in VELORA_E2E_WM_HOME (the
// conflicts stage starts fluxbox so): the alert names the manager, its free button edits the
// manager's own configuration and reloads it, and velora then switches on Alt+Tab.
#include <xcb/xcb.h>

#include <QImage>
#include <QRect>
#include <cstdlib>

#include "desktop_session.h"
#include "platform/virtual_keys.h"
#include "platform/x_keycodes.h"
#include "support/file_text.h"

namespace velora::e2e {
namespace {

constexpr uint32_t kTabKeysym = 0xff09;
constexpr uint32_t kAltKeysym = 0xffe9; // Alt_L

class HeldKeys : public DesktopSession {
  protected:
    // Whether any client holds Alt+Tab now (this one could not take it).
    bool altTabHeld() { return !x_->canGrab(kTabKeysym, x_->modifierMaskOf(kAltKeysym)); }
    bool logHas(const std::string& text) { return veloraLog().find(text) != std::string::npos; }
};

TEST_F(HeldKeys, ASecondClientHoldingAltTabKeepsItAndVeloraTakesItOnceLetGo) {
    if (altTabHeld()) GTEST_SKIP() << "the window manager of this desktop holds Alt+Tab itself";
    const xcb_window_t a = startXterm("held-a");
    const xcb_window_t b = startXterm("held-b");
    ASSERT_TRUE(a && b);
    const uint8_t tab = xKeycodeForVirtualKey(vk::Tab);
    const uint16_t alt = x_->modifierMaskOf(kAltKeysym);
    const auto holderLog = home() / "holder.log";
    auto holder = ChildProcess::start({VELORA_KEY_HOLDER, std::to_string(tab), std::to_string(alt)},
                                      environment(), holderLog);
    ASSERT_TRUE(holder &&
                waitFor([&] { return test::readFile(holderLog).find("held") != std::string::npos; }));

    ASSERT_TRUE(startVeloraConfigured());
    ASSERT_TRUE(waitFor([&] { return logHas("Alt+Tab held by"); })) << veloraLog();
    // The alert is velora's one window; it is closed without a choice.
    ASSERT_TRUE(waitFor([&] { return !veloraWindows().empty(); }));
    for (xcb_window_t w : veloraWindows())
        x_->closeWindow(w);
    ASSERT_TRUE(waitFor([&] { return veloraWindows().empty(); }));
    activateInOrder({b, a});

    // Alt+Tab reaches the holder, and velora does not switch: while velora's own switch on
    // Super+Tab shows its panel afterwards, the window of before is still the active one.
    xdotool({"key", "alt+Tab"});
    ASSERT_TRUE(waitFor(
        [&] { return test::readFile(holderLog).find("key " + std::to_string(tab)) != std::string::npos; }));
    xdotool({"keydown", "super", "key", "Tab"});
    EXPECT_TRUE(waitForPanel());
    EXPECT_EQ(x_->activeWindow(), a) << "velora acted on the held Alt+Tab too";
    xdotool({"key", "Escape", "keyup", "super"});
    EXPECT_TRUE(waitForPanelGone());

    // The holder ends: velora takes the key by itself and switches on it.
    holder->stop();
    ASSERT_TRUE(waitFor([&] { return logHas("Alt+Tab is free now"); })) << veloraLog();
    EXPECT_TRUE(altTabHeld()) << "velora holds it now";
    activate(a);
    const std::size_t before = activations();
    xdotool({"key", "alt+Tab"});
    EXPECT_EQ(waitForSwitch(before), b);
}

TEST_F(HeldKeys, StockWindowManagerIsNamedItsFreeButtonFreesAltTabAndVeloraTakesIt) {
    const char* wmHome = std::getenv("VELORA_E2E_WM_HOME");
    if (!wmHome || !*wmHome)
        GTEST_SKIP() << "needs a window manager with its stock keys (VELORA_E2E_WM_HOME)";
    useHome(wmHome);
    const auto keysFile = home() / ".fluxbox" / "keys";
    const std::string stockKeys = test::readFile(keysFile);
    ASSERT_NE(stockKeys.find("\nMod1 Tab :NextWindow"), std::string::npos) << "not fluxbox's stock keys";
    ASSERT_TRUE(altTabHeld());
    // Plain shells: their prompt shows no folder.
    const xcb_window_t a = startXterm("stock-a", "exec sh");
    const xcb_window_t b = startXterm("stock-b", "exec sh");
    ASSERT_TRUE(a && b);

    ASSERT_TRUE(startVeloraConfigured());
    ASSERT_TRUE(waitFor([&] { return logHas("held by Fluxbox (the window manager)"); })) << veloraLog();
    xcb_window_t alert = 0;
    ASSERT_TRUE(waitFor([&] {
        const auto windows = veloraWindows();
        return !windows.empty() && (alert = windows.front()) != 0;
    }));
    activate(alert);
    const char* update = std::getenv("VELORA_UPDATE_DOCS_IMAGES");
    if (update && *update) {
        // The alert in its frame, with a margin of the desktop around it.
        xcb_connection_t* c = x_->connection();
        auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, alert), nullptr);
        auto* at = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, alert, x_->root(), 0, 0),
                                                   nullptr);
        ASSERT_TRUE(geometry && at);
        const QImage shot = x_->screenshot();
        const QRect area =
            QRect(at->dst_x - 16, at->dst_y - 36, geometry->width + 32, geometry->height + 52) & shot.rect();
        std::free(geometry);
        std::free(at);
        EXPECT_TRUE(shot.copy(area).save(QStringLiteral(VELORA_DOCS_IMAGES_DIR "/alert-x11-fluxbox.png")));
    }
    // Return presses the default button, "Free Them in Fluxbox".
    xdotool({"key", "Return"});
    ASSERT_TRUE(waitFor([&] { return logHas("changed the settings of Fluxbox"); })) << veloraLog();
    const std::string edited = test::readFile(keysFile);
    EXPECT_NE(edited.find("\n#Mod1 Tab :NextWindow"), std::string::npos);
    EXPECT_EQ(edited.size(), stockKeys.size() + 4) << "only the four Tab lines are commented out";

    // fluxbox lets go on its reload; velora takes Alt+Tab without a restart and switches on it.
    ASSERT_TRUE(waitFor([&] { return logHas("Alt+Tab is free now"); })) << veloraLog();
    activateInOrder({b, a});
    const std::size_t before = activations();
    xdotool({"key", "alt+Tab"});
    EXPECT_EQ(waitForSwitch(before), b);
    // Leave the manager's keys as they were for whatever runs next.
    test::writeFile(keysFile, stockKeys);
}

} // namespace
} // namespace velora::e2e
