// Activation of a window that refuses the focus, force quitting and the time carried
// by requests, on real clients. (Activation itself, quitting, closing, hiding and minimising
// are driven through the whole program by the end-to-end suite.)
#include <cstdlib>

#include "platform/ax_names.h"
#include "platform/virtual_keys.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

class ActionsTest : public X11Test {
  protected:
    std::vector<uint32_t> stacking() { return display->clientsBottomFirst(); }
    // Whether a stacks above b.
    bool above(uint32_t a, uint32_t b) {
        auto order = stacking();
        auto ia = std::find(order.begin(), order.end(), a), ib = std::find(order.begin(), order.end(), b);
        return ia != order.end() && ib != order.end() && ia > ib;
    }
    int frontIndex(pid_t pid) {
        auto order = desktop->workspace().processesInFrontToBackOrder();
        auto it = std::find(order.begin(), order.end(), pid);
        return it == order.end() ? -1 : int(it - order.begin());
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
    EXPECT_EQ(frontIndex(xclock.pid()), 0);
    AXValue focusedApp;
    auto& ax = desktop->accessibility();
    ASSERT_EQ(ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, focusedApp),
              AXError::Success);
    EXPECT_EQ(std::get<AXElement>(focusedApp).pid, xclock.pid());

    // Once the manager activates another window, that one is active again.
    ASSERT_TRUE(focus(term));
    EXPECT_TRUE(eventually([&] { return app(xterm.pid())->isActive() && !app(xclock.pid())->isActive(); }));
}

TEST_F(ActionsTest, ForceQuitKillsAndATerminatedApplicationRefusesEveryAction) {
    ChildProcess xeyes({"xeyes"});
    ASSERT_TRUE(waitForWindowOf(xeyes.pid()));
    auto eyes = app(xeyes.pid());
    ASSERT_TRUE(eyes->forceTerminate());
    EXPECT_TRUE(xeyes.waitForExit(10));
    EXPECT_TRUE(eventually([&] { return eyes->isTerminated(); }));
    EXPECT_FALSE(eyes->activateWithOptions(kActivateIgnoringOtherApps));
    EXPECT_FALSE(eyes->hide());
    EXPECT_EQ(eyes->bundleIdentifier(), "XEyes") << "it keeps its identity";
}

// EWMH asks for the time of the user's action in activation and close requests; managers with
// focus-stealing prevention complain about 0 or refuse it. Each request carries the server
// time of the last key, read here from a connection that hears every message to the root.
TEST_F(ActionsTest, ActivationAndCloseCarryTheTimeOfTheLastKey) {
    ChildProcess xterm({"xterm", "-T", "velora-timed"});
    const uint32_t w = waitForWindowOf(xterm.pid());
    ASSERT_TRUE(w);
    XDisplay listener;
    ASSERT_TRUE(listener.ok());
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(listener.connection(), listener.root(), XCB_CW_EVENT_MASK, &mask);
    listener.sync();
    // The time the request for `w` of this type carries (its `field`), once it is sent.
    const auto timeSent = [&](const char* type, int field) -> std::optional<uint32_t> {
        const xcb_atom_t wanted = listener.atom(type);
        std::optional<uint32_t> time;
        eventually([&] {
            while (xcb_generic_event_t* e = xcb_poll_for_event(listener.connection())) {
                const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(e);
                if ((e->response_type & 0x7F) == XCB_CLIENT_MESSAGE && m->type == wanted && m->window == w)
                    time = m->data.data32[field];
                std::free(e);
            }
            return time.has_value();
        });
        return time;
    };

    const uint32_t before = display->serverTime();
    tap(vk::Shift);
    const uint32_t after = display->serverTime();
    ASSERT_TRUE(desktop->sync()); // the desktop has heard the key
    ASSERT_TRUE(app(xterm.pid()) && app(xterm.pid())->activateWithOptions(kActivateIgnoringOtherApps));
    const auto activated = timeSent("_NET_ACTIVE_WINDOW", 1);
    ASSERT_TRUE(activated) << "no activation request seen";
    EXPECT_GE(*activated, before);
    EXPECT_LE(*activated, after);

    const uint32_t secondKey = display->serverTime();
    tap(vk::Shift);
    ASSERT_TRUE(desktop->sync());
    AXValue button;
    ASSERT_EQ(desktop->accessibility().copyAttributeValue(windowElement(w), ax::CloseButton, button),
              AXError::Success);
    ASSERT_TRUE(std::holds_alternative<AXElement>(button));
    ASSERT_EQ(desktop->accessibility().performAction(std::get<AXElement>(button), ax::ActionPress),
              AXError::Success);
    const auto closed = timeSent("_NET_CLOSE_WINDOW", 0);
    ASSERT_TRUE(closed) << "no close request seen";
    EXPECT_GE(*closed, secondKey) << "the close carries an older time than the key that caused it";
    EXPECT_TRUE(xterm.waitForExit(std::chrono::seconds(10)));
}

} // namespace
} // namespace velora::test
