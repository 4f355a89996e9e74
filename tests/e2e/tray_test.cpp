// The status icon in real trays: an XEmbed tray (the desktop's own, or trayer) and a
// StatusNotifierItem host on a session bus of the test's own. In each, the icon appears, a
// click opens its menu, the menu's three entries act, hiding the icon from the preferences
// removes it, and a second start then opens the preferences.
#include <sys/wait.h>

#include "desktop_session.h"
#include "support/file_text.h"

namespace velora::e2e {
namespace {

enum class Tray { XEmbed, StatusNotifier };

class TrayIcon : public DesktopSession, public ::testing::WithParamInterface<Tray> {
  protected:
    void SetUp() override {
        DesktopSession::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // A bus of the test's own: a watcher elsewhere on the session bus never takes the icon
        // from the tray under test, and the host started here is the only one velora sees.
        bus_ = ChildProcess::start(
            {"dbus-daemon", "--config-file=" VELORA_TEST_BUS_CONFIG, "--nofork", "--print-address=1"}, {},
            home() / "bus.address");
        ASSERT_TRUE(bus_) << "cannot start dbus-daemon";
        std::string address;
        ASSERT_TRUE(waitFor([&] {
            address = test::readFile(home() / "bus.address");
            return address.find('\n') != std::string::npos;
        })) << "dbus-daemon prints no address";
        extraEnvironment_["DBUS_SESSION_BUS_ADDRESS"] = address.substr(0, address.find('\n'));

        if (GetParam() == Tray::XEmbed) {
            // The desktop's own tray where it has one (fluxbox), or trayer.
            if (!x_->hasSystemTray()) {
                tray_ = ChildProcess::start({"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                             "request", "--height", "32", "--SetDockType", "true"},
                                            environment(), home() / "tray.log");
                ASSERT_TRUE(tray_) << "cannot start trayer";
                ASSERT_TRUE(waitFor([&] { return x_->hasSystemTray(); }))
                    << "trayer does not take the tray selection";
            }
        } else {
            tray_ = ChildProcess::start({VELORA_SNI_HOST}, environment(), home() / "tray.log");
            ASSERT_TRUE(tray_) << "cannot start the host";
            ASSERT_TRUE(waitFor([&] {
                return test::readFile(home() / "tray.log").find("ready") != std::string::npos;
            })) << "the host does not own org.kde.StatusNotifierWatcher: "
                << test::readFile(home() / "tray.log");
        }
        ASSERT_TRUE(startVelora());
        ASSERT_TRUE(waitFor([&] { return icon() != 0; })) << "no status icon in the tray";
    }

    void TearDown() override {
        DesktopSession::TearDown();
        tray_.reset();
        bus_.reset();
    }

    // The icon as the tray shows it: velora's embedded window, or the host's window of the
    // item with its image drawn. 0 when there is none.
    xcb_window_t icon() {
        if (GetParam() == Tray::XEmbed) return x_->embeddedWindowOf(velora().pid());
        const xcb_window_t item = x_->clientTitled("sni-item icon");
        return item && x_->pid(item) == tray_->pid() ? item : 0;
    }

    // Clicks the icon (button 1 or 3), waits for velora's menu, chooses an entry by keyboard
    // (Down moves to the first entry, Up from nothing to the last) and waits for the menu to go.
    void chooseFromMenu(int button, std::vector<std::string> keys) {
        // The pointer comes from elsewhere, as a hand would bring it.
        xdotool({"mousemove", "0", "0"});
        xdotool(
            {"mousemove", "--window", std::to_string(icon()), "10", "10", "click", std::to_string(button)});
        ASSERT_TRUE(waitFor([&] { return !x_->popupsOf(velora().pid()).empty(); }))
            << "a click of button " << button << " on the icon opens no menu";
        keys.insert(keys.begin(), "key");
        keys.push_back("Return");
        xdotool(keys);
        EXPECT_TRUE(waitFor([&] { return x_->popupsOf(velora().pid()).empty(); })) << "the menu stays open";
    }

    // Opens the menu with a click, chooses the entry the keys reach and returns the window it
    // opens, whose title begins with `title`; 0 when either never comes.
    xcb_window_t openFromMenu(int button, const std::vector<std::string>& keys, const std::string& title) {
        chooseFromMenu(button, keys);
        const xcb_window_t w = veloraWindowTitled(title);
        EXPECT_NE(w, 0u) << "the menu entry opens no window " << title;
        return w;
    }

    // Velora's managed window whose title begins with `title` (Qt adds " — Velora").
    xcb_window_t veloraWindowTitled(const std::string& title) {
        xcb_window_t found = 0;
        waitFor([&] {
            for (xcb_window_t w : veloraWindows())
                if (x_->title(w).starts_with(title)) return (found = w) != 0;
            return false;
        });
        return found;
    }

    void close(xcb_window_t w) {
        x_->closeWindow(w);
        // Gone, and the focus moved on: a menu opened before the server moves the focus away
        // from the closed window is closed by that move.
        EXPECT_TRUE(waitFor([&] { return veloraWindows().empty() && x_->inputFocus() != w; }))
            << "velora's window does not close";
    }

    std::unique_ptr<ChildProcess> bus_, tray_;
};

TEST_P(TrayIcon, ItsMenuOpensByAClickAndItsEntriesShowThePreferencesAndQuit) {
    // A left click opens the menu as the right click does: on a status item the menu is all
    // there is to click for.
    const xcb_window_t prefs = openFromMenu(1, {"Down"}, "General");
    ASSERT_NE(prefs, 0u);
    close(prefs);

    chooseFromMenu(3, {"Up"});
    if (HasFatalFailure()) return;
    veloraEndedOnPurpose();
    ASSERT_TRUE(velora().waitForExit(kLongWait)) << "Quit does not end velora";
    EXPECT_TRUE(WIFEXITED(velora().status()) && WEXITSTATUS(velora().status()) == 0) << velora().status();
}

// About on its own start: in the XEmbed tray a click that follows the about window's closing
// can open a menu that a late focus change closes again (docs/e2e-tests.md).
TEST_P(TrayIcon, ItsMenuShowsTheAboutWindow) {
    const xcb_window_t about = openFromMenu(3, {"Down", "Down"}, "About Velora");
    ASSERT_NE(about, 0u);
    close(about);
}

TEST_P(TrayIcon, HidingTheIconFromThePreferencesRemovesItAndASecondStartOpensThePreferences) {
    const xcb_window_t prefs = openFromMenu(3, {"Down"}, "General");
    ASSERT_NE(prefs, 0u);
    xdotool({"windowactivate", std::to_string(prefs)});
    ASSERT_TRUE(waitFor([&] { return x_->activeWindow() == prefs; }))
        << "the preferences do not take the focus";
    // Nothing holds the focus in a new window: the first Tab reaches "Start Velora when I log
    // in", the second "Hide the menu icon".
    xdotool({"key", "Tab", "Tab", "space"});
    ASSERT_TRUE(waitFor([&] { return icon() == 0; })) << "the icon stays after Hide the menu icon";
    // The preferences, and whatever they opened on top.
    ASSERT_TRUE(closeVeloraWindows()) << "velora's windows do not close";

    startASecondTime();
    EXPECT_NE(veloraWindowTitled("General"), 0u)
        << "with the icon hidden, a second start shows no preferences";
    EXPECT_EQ(icon(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Trays, TrayIcon, ::testing::Values(Tray::XEmbed, Tray::StatusNotifier),
                         [](const ::testing::TestParamInfo<Tray>& p) {
                             return p.param == Tray::XEmbed ? "XEmbed" : "StatusNotifier";
                         });

} // namespace
} // namespace velora::e2e
