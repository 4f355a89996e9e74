// Keys pressed during a shown switch act on the selection and never reach the focused
// client: Escape cancels, q quits, h hides, m minimises, w closes.
#include <fstream>
#include <iterator>

#include "desktop_session.h"

namespace velora::e2e {
namespace {

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SwitchCommands : public DesktopSession {
protected:
    void SetUp() override {
        DesktopSession::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(startVelora());
    }

    // The focused window: an xterm whose typed lines land in typed.txt.
    xcb_window_t startTypist() {
        return startXterm("Typist", "cat > '" + typed().string() + "'");
    }
    std::filesystem::path typed() const { return home() / "typed.txt"; }

    // Holds the modifier, presses the key and waits for the panel.
    void showPanel(const std::string& modifier, const std::string& key) {
        xdotool({"keydown", modifier, "key", key});
        ASSERT_TRUE(waitForPanel()) << "no panel while " << modifier << "-" << key << " is held";
    }
    void release(const std::string& modifier) { xdotool({"keyup", modifier}); }

    // What the typist has received, once a Return ends its line.
    std::string typedLine() {
        xdotool({"key", "Return"});
        std::string text;
        waitFor([&] { return !(text = contents(typed())).empty(); });
        return text;
    }
};

TEST_F(SwitchCommands, EscapeCancelsTheSwitchAndTheFocusStays) {
    const xcb_window_t other = startXterm("Other"), typist = startTypist();
    ASSERT_TRUE(other && typist);
    activateInOrder({other, typist});

    showPanel("alt", "Tab");
    xdotool({"key", "Escape"});
    EXPECT_TRUE(waitForPanelGone()) << "Escape leaves the panel up";
    release("alt");
    EXPECT_EQ(x_->activeWindow(), typist);
    // Had the release activated the selection, the focus would now move to "Other".
    EXPECT_FALSE(waitFor([&] { return x_->activeWindow() != typist; }, 2s)) << titleOf(x_->activeWindow());
    EXPECT_EQ(typedLine(), "\n") << "Escape reached the focused client";
}

TEST_F(SwitchCommands, QQuitsTheSelectedApplication) {
    const xcb_window_t clock = startClient({"xclock", "-title", "Clock"}, "Clock");
    const xcb_window_t typist = startTypist();
    ASSERT_TRUE(clock && typist);
    activate(typist); // applications front to back: the typist, then the clock

    showPanel("super", "Tab");
    xdotool({"key", "q"});
    EXPECT_TRUE(client(clock).waitForExit(kLongWait)) << "xclock is still running";
    EXPECT_NE(x_->shownPanel(), 0u) << "the switch goes on after q";
    release("super");
    EXPECT_TRUE(waitForPanelGone());
    activate(typist);
    EXPECT_EQ(typedLine(), "\n") << "q reached the focused client";
}

TEST_F(SwitchCommands, HHidesTheSelectedApplication) {
    const xcb_window_t other = startXterm("Other"), typist = startTypist();
    ASSERT_TRUE(other && typist);
    activateInOrder({other, typist});

    showPanel("super", "Tab");
    xdotool({"key", "h"});
    EXPECT_TRUE(waitFor([&] { return x_->isHidden(other); })) << "the selected application is not hidden";
    EXPECT_FALSE(x_->isHidden(typist));
    release("super");
    EXPECT_TRUE(waitForPanelGone());
    activate(typist);
    EXPECT_EQ(typedLine(), "\n") << "h reached the focused client";
}

TEST_F(SwitchCommands, MMinimisesTheSelectedWindow) {
    const xcb_window_t other = startXterm("Other"), typist = startTypist();
    ASSERT_TRUE(other && typist);
    activateInOrder({other, typist});

    showPanel("alt", "Tab");
    xdotool({"key", "m"});
    EXPECT_TRUE(waitFor([&] { return x_->isHidden(other); })) << "the selected window is not minimised";
    EXPECT_FALSE(x_->isHidden(typist));
    release("alt");
    EXPECT_TRUE(waitForPanelGone());
    activate(typist);
    EXPECT_EQ(typedLine(), "\n") << "m reached the focused client";
}

TEST_F(SwitchCommands, WClosesTheSelectedWindow) {
    const xcb_window_t other = startXterm("Other"), typist = startTypist();
    ASSERT_TRUE(other && typist);
    activateInOrder({other, typist});

    showPanel("alt", "Tab");
    xdotool({"key", "w"});
    EXPECT_TRUE(client(other).waitForExit(kLongWait)) << "the selected xterm was not closed";
    EXPECT_TRUE(waitFor([&] { return x_->clientTitled("Other") == 0; }));
    EXPECT_NE(x_->clientTitled("Typist"), 0u);
    release("alt");
    EXPECT_TRUE(waitForPanelGone());
    activate(typist);
    EXPECT_EQ(typedLine(), "\n") << "w reached the focused client";
}

// Outside a switch every key reaches the focused client, also after switches have come
// and gone (the command keys are taken only for the span of a switch).
TEST_F(SwitchCommands, KeysOutsideASwitchReachTheFocusedClient) {
    const xcb_window_t other = startXterm("Other"), typist = startTypist();
    ASSERT_TRUE(other && typist);
    activateInOrder({other, typist});

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
