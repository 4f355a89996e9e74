// Keys pressed during a shown switch act on the selection and never reach the focused
// client: Escape cancels, q quits (as w closes), m minimises (as h hides).
#include "desktop_session.h"
#include "support/file_text.h"

namespace velora::e2e {
namespace {

// Every test: an xterm "Other", then the focused xterm "Typist" whose typed lines land in
// typed.txt; the selection of the first step (Super-Tab or Alt-Tab) is "Other".
class SwitchCommands : public DesktopSession {
protected:
    void SetUp() override {
        DesktopSession::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(startVelora());
        other = startXterm("Other");
        typist = startXterm("Typist", "cat > '" + typed().string() + "'");
        ASSERT_TRUE(other && typist);
        activateInOrder({other, typist});
    }
    std::filesystem::path typed() const { return home() / "typed.txt"; }

    // Holds the modifier, presses the key and waits for the panel.
    void showPanel(const std::string& modifier, const std::string& key) {
        xdotool({"keydown", modifier, "key", key});
        ASSERT_TRUE(waitForPanel()) << "no panel while " << modifier << "-" << key << " is held";
    }

    // What the typist has received, once a Return ends its line.
    std::string typedLine() {
        xdotool({"key", "Return"});
        std::string text;
        waitFor([&] { return !(text = test::readFile(typed())).empty(); });
        return text;
    }

    xcb_window_t other = 0, typist = 0;
};

struct Command {
    const char* key;
    const char* modifier; // super: applications, alt: windows
    bool closesTheClient;  // else it hides or minimises it
};

std::ostream& operator<<(std::ostream& out, const Command& c) { return out << c.key; }

class SwitchCommand : public SwitchCommands, public ::testing::WithParamInterface<Command> {};

TEST_P(SwitchCommand, ActsOnTheSelectionAndNeverReachesTheFocusedClient) {
    const Command& c = GetParam();
    showPanel(c.modifier, "Tab");
    xdotool({"key", c.key});
    if (c.closesTheClient) {
        EXPECT_TRUE(client(other).waitForExit(kLongWait)) << "the selected xterm is still running";
        EXPECT_NE(x_->clientTitled("Typist"), 0u);
    } else {
        EXPECT_TRUE(waitFor([&] { return x_->isHidden(other); })) << "the selection is not hidden";
        EXPECT_FALSE(x_->isHidden(typist));
    }
    EXPECT_NE(x_->shownPanel(), 0u) << "the switch goes on after the command";
    xdotool({"keyup", c.modifier});
    EXPECT_TRUE(waitForPanelGone());
    activate(typist);
    EXPECT_EQ(typedLine(), "\n") << c.key << " reached the focused client";
}

INSTANTIATE_TEST_SUITE_P(SwitchCommands, SwitchCommand,
                         ::testing::Values(Command{"q", "super", true}, Command{"m", "alt", false}),
                         [](const ::testing::TestParamInfo<Command>& p) { return std::string(p.param.key); });

TEST_F(SwitchCommands, EscapeCancelsTheSwitchAndTheFocusStays) {
    showPanel("alt", "Tab");
    xdotool({"key", "Escape"});
    EXPECT_TRUE(waitForPanelGone()) << "Escape leaves the panel up";
    xdotool({"keyup", "alt"});
    EXPECT_EQ(x_->activeWindow(), typist);
    // Had the release activated the selection, the focus would now move to "Other".
    EXPECT_FALSE(waitFor([&] { return x_->activeWindow() != typist; }, 2s)) << titleOf(x_->activeWindow());
    EXPECT_EQ(typedLine(), "\n") << "Escape reached the focused client";
}

// Outside a switch every key reaches the focused client, also after switches have come
// and gone (the command keys are taken only for the span of a switch).
TEST_F(SwitchCommands, KeysOutsideASwitchReachTheFocusedClient) {
    xdotool({"keydown", "alt", "key", "Tab", "keyup", "alt"});
    ASSERT_EQ(waitForActiveChange(typist), other);
    std::this_thread::sleep_for(700ms); // the switcher's focused-window poll
    xdotool({"keydown", "alt", "key", "Tab", "keyup", "alt"});
    ASSERT_EQ(waitForActiveChange(other), typist);

    xdotool({"type", "--delay", "40", "quit hide min win, rev o f"});
    xdotool({"key", "Escape"});
    EXPECT_EQ(typedLine(), "quit hide min win, rev o f\x1b\n");
}

} // namespace
} // namespace velora::e2e
