// Activation of a window that refuses the focus and force quitting, on real clients.
// (Activation itself, quitting, closing, hiding and minimising, and the time that requests
// carry, are driven through the whole program by the end-to-end suite and its matrix of
// window managers.)
#include "platform/ax_names.h"
#include "platform/x11/x11_desktop_cache.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

class ActionsTest : public X11Test {
  protected:
    // Whether a stacks above b.
    bool above(uint32_t a, uint32_t b) {
        const auto order = display->clientsBottomFirst();
        auto ia = std::find(order.begin(), order.end(), a), ib = std::find(order.begin(), order.end(), b);
        return ia != order.end() && ib != order.end() && ia > ib;
    }
};

TEST_F(ActionsTest, AWindowThatRefusesTheFocusStillCountsAsActivatedAndRaised) {
    ChildProcess xterm({"xterm", "-T", "velora-behind"}), xclock({"xclock"});
    const uint32_t term = waitForWindowOf(xterm.pid()), clock = waitForWindowOf(xclock.pid());
    ASSERT_TRUE(term && clock);
    ASSERT_TRUE(focus(term));
    ASSERT_TRUE(eventually([&] { return above(term, clock); }));

    ASSERT_TRUE(app(xclock.pid())->activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_TRUE(eventually([&] { return above(clock, term); }));
    EXPECT_TRUE(app(xclock.pid())->isActive());
    EXPECT_FALSE(app(xterm.pid())->isActive());
    EXPECT_EQ(desktop->workspace().processesInFrontToBackOrder().front(), xclock.pid());
    AXValue focusedApp;
    auto& ax = desktop->accessibility();
    ASSERT_EQ(ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, focusedApp),
              AXError::Success);
    EXPECT_EQ(std::get<AXElement>(focusedApp).pid, xclock.pid());

    // Once the manager activates another window, that one is active again.
    ASSERT_TRUE(focus(term));
    EXPECT_TRUE(eventually([&] { return app(xterm.pid())->isActive() && !app(xclock.pid())->isActive(); }));
}

// Escape after a held switch: hiding the panel holds the active window, and the hold stands
// while a focus the hiding moved may still be reported. A window the user activates meanwhile
// counts once that lapses. No event marks the lapse, yet it must wake the focused-window poll,
// which sleeps until the focus count moves (else it waits for its rescan). No request goes to
// the manager here: one for the window it reports active may be answered, ending the hold.
TEST_F(ActionsTest, AWindowActivatedWhileARequestStandsIsLearntWhenTheRequestLapses) {
    FakeWindow before({.title = "velora-before"}), clicked({.title = "velora-clicked"});
    ASSERT_TRUE(waitForWindow(before.id()) && waitForWindow(clicked.id()));
    // The manager may still be focusing the new windows as it maps them: once the second is
    // seen active, that is over, and the first becomes active only by this request.
    ASSERT_TRUE(focus(clicked.id()) && focus(before.id()));
    auto& ax = desktop->accessibility();
    const auto focusedWindow = [&] {
        AXValue app, window;
        ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, app);
        const auto* element = std::get_if<AXElement>(&app);
        if (!element || ax.copyAttributeValue(*element, ax::FocusedWindow, window) != AXError::Success)
            return 0u;
        return uint32_t(std::get<AXElement>(window).id);
    };
    mainThread.freeze(); // nothing lapses until the test moves the clock
    desktop->windowServer().willTakeOffScreen(0);
    display->activateWindow(clicked.id());
    ASSERT_TRUE(eventually([&] { return display->activeWindow() == clicked.id(); }));
    ASSERT_TRUE(desktop->sync());
    EXPECT_EQ(focusedWindow(), before.id());

    const uint64_t wakes = mainThread.wakeCount();
    mainThread.advance(x11::DesktopCache::kRequestStandsSeconds);
    EXPECT_TRUE(eventually([&] { return mainThread.wakeCount() > wakes; })) << "the lapse woke no sleeper";
    EXPECT_EQ(focusedWindow(), clicked.id());
}

TEST_F(ActionsTest, ForceQuitKills) {
    ChildProcess xeyes({"xeyes"});
    ASSERT_TRUE(waitForWindowOf(xeyes.pid()));
    auto eyes = app(xeyes.pid());
    ASSERT_TRUE(eyes->forceTerminate());
    EXPECT_TRUE(xeyes.waitForExit(std::chrono::seconds(10)));
    EXPECT_TRUE(eventually([&] { return eyes->isTerminated(); }));
}

} // namespace
} // namespace velora::test
