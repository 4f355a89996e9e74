// Activation of a window that refuses the focus and force quitting, on real clients.
// (Activation itself, quitting, closing, hiding and minimising, and the time that requests
// carry, are driven through the whole program by the end-to-end suite and its matrix of
// window managers.)
#include "platform/ax_names.h"
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
