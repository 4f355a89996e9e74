#pragma once
// A test on the real desktop named by DISPLAY: the built velora with a home of its own, real
// clients, keys typed through XTest by xdotool, and the window manager's view read back.
// Skipped when there is no display.
//
// The desktop is not the test's alone: a window manager's helpers, notifications and other
// programs put windows of their own on it, at any time. A test therefore names the windows
// it means: velora is started with every application blocked except the test's own clients
// (by class name: the home has no desktop entries), and results are read among those.

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/plist_value.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "support/x11/x_display.h"

namespace velora::e2e {

using test::ChildProcess;
using test::runToEnd;
using test::waitFor;

using namespace std::chrono_literals;

// Waits that survive a loaded machine; they end as soon as the condition holds.
inline constexpr std::chrono::milliseconds kLongWait = 30s;

class DesktopSession : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts velora for the first time in this home and closes the preferences window and
    // the welcome sheet that a first start opens. The settings file is written first with
    // these settings and filters that block every application but the test's own clients
    // (xterm, xclock, xeyes, the windows of this process), so that only their windows take part in
    // switches; with none (nullopt), the home stays empty. False (with a test failure) when
    // it does not come up.
    bool startVelora(std::optional<PlistValue::Dictionary> settings = PlistValue::Dictionary{});
    // Starts velora on the settings a first start writes (the six cycle keys, no login entry),
    // so that no window of its own opens. False (with a test failure) when it does not run.
    bool startVeloraConfigured();
    // Starts velora so (its keys held by someone else), waits until its output has told
    // `told` and its alert shows, and closes the alert.
    void startAndCloseTheAlert(const std::string& told);
    // Velora's home is this folder instead of a fresh one; before velora starts.
    void useHome(const std::filesystem::path& home) { home_ = home; }
    std::string veloraLog() const;
    ChildProcess& velora() { return *velora_; }
    // Velora ended as the test meant it to (Quit): the tear-down no longer counts it as a crash.
    void veloraEndedOnPurpose() { veloraEndExpected_ = true; }
    std::map<std::string, std::string> environment() const;
    std::filesystem::path settingsFile() const { return home_ / ".config" / "velora" / "defaults.plist"; }
    std::filesystem::path home() const { return home_; }
    // Managed windows that belong to the velora process.
    std::vector<xcb_window_t> veloraWindows();
    // Closes velora's windows through the manager, newest first (a sheet before the window
    // it blocks), each asked again should it still be listed after a while; false when some
    // stay.
    bool closeVeloraWindows();

    // Starts a client and waits for its managed window with this title; 0 on failure.
    xcb_window_t startClient(const std::vector<std::string>& argv, const std::string& title);
    // An xterm titled `title` running `script` under sh (an idle shell when empty).
    xcb_window_t startXterm(const std::string& title, const std::string& script = {});
    // Windows of this process (class VeloraE2EWindows), one per title, in that order, once the
    // manager lists them all: one application with several windows. Empty on failure.
    std::vector<xcb_window_t> openWindows(const std::vector<std::string>& titles);
    ChildProcess& client(xcb_window_t w);

    // Activates the window through the manager, waits until it is active and until the
    // switcher's focused-window poll has put it first (its trace says so), so that recency
    // follows the calls.
    void activate(xcb_window_t w);
    // The names of velora's trace marks so far that start with `prefix`, in order.
    std::vector<std::string> marks(const std::string& prefix);
    // Waits until velora has made the mark `name`; false on time-out.
    bool waitForMark(const std::string& name);
    // How many activations velora has asked the manager for so far.
    std::size_t activations() { return marks("activate:").size(); }
    // The window velora activates after the first `activationsBefore` activations, once the
    // manager has made it active, its focus poll has put it first, and it is the active
    // window again should another program's window have taken the focus meanwhile; 0 when
    // velora activates nothing.
    xcb_window_t waitForSwitch(std::size_t activationsBefore);
    // Each window activated in turn: the last one ends up most recent and frontmost.
    void activateInOrder(const std::vector<xcb_window_t>& windows);

    // Runs xdotool with these arguments, to its end.
    void xdotool(const std::vector<std::string>& arguments);
    bool isOwnClient(xcb_window_t w); // a window of a client the test started
    bool waitForPanel() {
        return waitFor([&] { return x_->shownPanel() != 0; });
    }
    bool waitForPanelGone() {
        return waitFor([&] { return x_->shownPanel() == 0; });
    }
    // Presses a combination ("alt+shift+Tab"): a quick switch lets go in the same xdotool run
    // (well within the display delay), a held one waits for the panel first.
    void cycle(const std::string& combo, bool held);
    // Holds the modifier and presses Tab; returns the panel's place on the root, empty when no
    // panel shows. The modifier stays down until releaseSwitch(), which waits for the panel to go.
    QRect holdSwitch(const std::string& modifier = "alt");
    void releaseSwitch(const std::string& modifier = "alt");
    // How many of the six cycle keys some client holds (this one's grab is refused).
    std::size_t heldCycleKeys();

    // The six cycle keys, each quick and held, on the desktop of xterms "Yew" and "Xi" and the
    // windows "Pine 1" to "Pine 3" (given in this order), first used in the order Yew,
    // Xi, Pine 1, Pine 3, Pine 2. Each switch makes its choice the most recent window, so the
    // steps run on from each other; forward takes the second candidate, backward the last,
    // and the order makes each choice differ from the other direction's and the next-wider
    // mode's. Each step must activate its candidate and nothing else, the panel gone after.
    void runCycleSteps(const std::vector<xcb_window_t>& yewXiPine);

    // An xterm whose typed lines land in typedFile(), and what it has received once a Return
    // ends the line.
    xcb_window_t startTypist(const std::string& title = "Typist");
    std::filesystem::path typedFile() const { return home_ / "typed.txt"; }
    std::string typedLine();

    // The panel's screenshot once its pictures have all arrived and painted: more than
    // `white` of the area near-white (the panel itself is dark; the pictures of xterms and of
    // the clock are mostly white, so a panel without pictures has next to none) (and `also`, when given);
    // null when that never comes.
    QImage shotWithPictures(const QRect& panel, double white,
                            const std::function<bool(const QImage&)>& also = {});
    // Saves a screenshot beside the test program, or as docs/images/NAME with
    // VELORA_UPDATE_DOCS_IMAGES=1.
    void saveShot(const QImage& shot, const std::string& name);
    // A second start of the program reaches the running one and ends with 0.
    void startASecondTime();

    std::string titleOf(xcb_window_t w) { return w ? x_->title(w) : std::string("(none)"); }

    std::unique_ptr<test::XDisplay> x_;
    // Added to velora's and the clients' environment (a session bus of the test's own, say).
    std::map<std::string, std::string> extraEnvironment_;

  private:
    void writeSettings(PlistValue::Dictionary settings);
    std::unique_ptr<test::TempDir> dir_;
    std::filesystem::path home_;
    std::unique_ptr<ChildProcess> velora_;
    bool veloraEndExpected_ = false;
    std::vector<std::pair<xcb_window_t, std::unique_ptr<ChildProcess>>> clients_;
    std::vector<xcb_window_t> ownWindows_;
    std::vector<std::string> heldKeys_;
    std::filesystem::path trace_;
    // Starts the program with its trace on descriptor 3 (appended to trace_).
    void launchVelora();
};

} // namespace velora::e2e
