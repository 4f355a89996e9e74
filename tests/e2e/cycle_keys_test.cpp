// The six cycle hot keys on real clients, each once released quickly (before the display
// delay, no panel) and once held until the panel shows (the steps: DesktopSession::runCycleSteps).
#include "desktop_session.h"

namespace velora::e2e {
namespace {

class CycleKeys : public DesktopSession {};

TEST_F(CycleKeys, EachKeyQuickAndHeldActivatesItsCandidateAndPressesStepWhileThePanelIsUp) {
    ASSERT_TRUE(startVelora());
    const xcb_window_t yew = startXterm("Yew"), xi = startXterm("Xi");
    const auto pine = openWindows({"Pine 1", "Pine 2", "Pine 3"});
    ASSERT_TRUE(yew && xi && pine.size() == 3);
    runCycleSteps({yew, xi, pine[0], pine[1], pine[2]});
    if (HasFatalFailure()) return;

    // While the panel is up each press moves the selection one step, forward with Alt-Tab
    // and back with Alt-Shift-Tab; the release activates where it stands. (P1 P2 P3 Xi Yew)
    const std::size_t activated = activations();
    ASSERT_FALSE(holdSwitch().isNull());                           // Pine 2
    xdotool({"key", "Tab", "key", "Tab"});                         // Pine 3, Xi
    xdotool({"keydown", "shift", "key", "Tab", "keyup", "shift"}); // back to Pine 3
    releaseSwitch();
    EXPECT_EQ(titleOf(waitForSwitch(activated)), "Pine 3");
}

} // namespace
} // namespace velora::e2e
