// The command keys of a switch: which keys are taken, what each does and what it leaves as
// it was.
#include "engine_fixture.h"

namespace velora {
namespace {

using test::EngineTest;

class CommandsTest : public EngineTest {
protected:
    // Applications A (in front) and B, one window each; B's window has a document.
    void twoApplications() {
        sim::WindowSpec withDocument;
        withDocument.document = "file:///home/user/notes.txt";
        withDocument.title = "B";
        b = sim.addApplication(application("B"));
        wb = sim.addWindow(b, withDocument);
        std::tie(a, wa) = appWithWindow("A", "A");
        sim.focusWindow(wb);
        sim.focusWindow(wa);
    }
    static sim::ApplicationSpec application(const std::string& name) {
        sim::ApplicationSpec options;
        options.bundleIdentifier = options.name = name;
        options.bundlePath = "/opt/" + name;
        return options;
    }
    // Steps forward in the shown window mode until a window of the process is selected.
    void selectWindowOf(pid_t pid) {
        for (int i = 0; i < 5 && panel().selectedElement()->windowRef()->pid() != pid; ++i)
            engine->KeyCycleWindowForward();
        ASSERT_EQ(panel().selectedElement()->windowRef()->pid(), pid);
    }
    void showSwitch(void (VLHandler::*action)()) {
        hold();
        press(action);
        while (engine->pollingThreadsRunning()) nextPoll();
        ASSERT_TRUE(panel().isShown());
        sim.clearCalls();
    }
    void endSwitch() {
        release();
        settle();
    }
    pid_t a = 0, b = 0;
    uint32_t wa = 0, wb = 0;
};

TEST_F(CommandsTest, OutsideASwitchNoKeyIsTaken) {
    twoApplications();
    start();
    sim.clearCalls();
    for (int64_t code : {vk::Q, vk::Escape, vk::Comma, vk::O}) EXPECT_FALSE(key(code));
    sim.pump();
    EXPECT_TRUE(sim.calls().empty());
}

TEST_F(CommandsTest, QuitActsOnTheSelectionInAnyCaseAndTheSwitchGoesOn) {
    twoApplications();
    start();
    showSwitch(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(key(vk::Q, kOption | kEventFlagShift)); // "Q"
    EXPECT_FALSE(key(vk::Key1));
    EXPECT_FALSE(key(vk::DownArrow));
    sim.pump();
    EXPECT_FALSE(sim.isApplicationRunning(b));
    EXPECT_TRUE(panel().isShown());
    EXPECT_TRUE(engine->shouldHandleKeys());
    EXPECT_TRUE(panel().browserData()[1]->isTransparent());
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(CommandsTest, EscapeHidesThePanelAndReturnsToTheApplicationInFront) {
    twoApplications();
    start();
    showSwitch(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(key(vk::Escape));
    sim.pump();
    EXPECT_FALSE(panel().isShown());
    EXPECT_EQ(activations(a, "2"), 1);
    EXPECT_EQ(sim.countCalls("activate"), 1); // nothing from the panel
    EXPECT_FALSE(engine->shouldHandleKeys());
    endSwitch();
    EXPECT_EQ(sim.countCalls("activate"), 1);
}

TEST_F(CommandsTest, CommaOpensThePreferencesAndActivatesNothing) {
    twoApplications();
    start();
    showSwitch(&VLHandler::KeyCycleWindowForward);
    EXPECT_TRUE(key(vk::Comma));
    sim.pump();
    EXPECT_EQ(delegate.preferences.load(), 1);
    EXPECT_FALSE(panel().isShown());
    endSwitch();
    EXPECT_EQ(sim.countCalls("activate"), 0);
    EXPECT_EQ(sim.countCalls("raise"), 0);
}

TEST_F(CommandsTest, RevealShowsTheApplicationOrTheDocumentAndBeepsWithoutOne) {
    twoApplications();
    start();
    showSwitch(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(key(vk::R));
    sim.pump();
    ASSERT_EQ(sim.countCalls("reveal"), 1);
    EXPECT_EQ(sim.calls().back().detail, "/opt/B");
    EXPECT_FALSE(panel().isShown());
    endSwitch();

    // The window without a document: a beep, and the switch as it was.
    showSwitch(&VLHandler::KeyCycleWindowForward);
    selectWindowOf(a);
    EXPECT_TRUE(key(vk::R));
    sim.pump();
    EXPECT_EQ(sim.beeps(), 1);
    EXPECT_EQ(sim.countCalls("reveal"), 0);
    EXPECT_TRUE(panel().isShown());
    EXPECT_TRUE(engine->shouldHandleKeys());
    EXPECT_TRUE(link.isRegistered(delegate.backward));

    selectWindowOf(b); // B's window has one
    EXPECT_TRUE(key(vk::R));
    sim.pump();
    ASSERT_EQ(sim.countCalls("reveal"), 1);
    EXPECT_EQ(sim.calls().back().detail, "/home/user/notes.txt");
    endSwitch();
    EXPECT_EQ(sim.countCalls("raise"), 0);
}

TEST_F(CommandsTest, HideOthersHidesTheRestUnhidesTheOwnerAndRaisesTheWindow) {
    twoApplications();
    auto [c, wc] = appWithWindow("C", "C");
    sim.focusWindow(wa);
    start();
    sim.setApplicationHidden(b, true);
    showSwitch(&VLHandler::KeyCycleWindowForward);
    selectWindowOf(b);
    EXPECT_TRUE(key(vk::O));
    sim.pump();
    EXPECT_FALSE(sim.isApplicationHidden(b));
    EXPECT_TRUE(sim.isApplicationHidden(a));
    EXPECT_TRUE(sim.isApplicationHidden(c));
    EXPECT_EQ(sim.focusedWindow(), wb);
    EXPECT_FALSE(panel().isShown());
    endSwitch();
    EXPECT_EQ(sim.countCalls("setFrontmost"), 2); // raised once
    (void)wc;
}

TEST_F(CommandsTest, WindowCommandsCloseAndMinimiseTheSelectedWindow) {
    twoApplications();
    start();
    showSwitch(&VLHandler::KeyCycleWindowForward);
    selectWindowOf(b);
    EXPECT_TRUE(key(vk::M));
    sim.pump();
    EXPECT_TRUE(sim.window(wb).minimized);
    selectWindowOf(a);
    EXPECT_TRUE(key(vk::W, kOption | kEventFlagShift)); // "W"
    sim.pump();
    EXPECT_FALSE(sim.windowExists(wa));
    EXPECT_TRUE(key(vk::H));
    EXPECT_TRUE(key(vk::F));
    sim.pump();
    EXPECT_EQ(sim.countCalls("hide"), 1);
    EXPECT_EQ(sim.countCalls("forceTerminate"), 1);
    EXPECT_TRUE(panel().isShown());
}

TEST_F(CommandsTest, AKeyQueuedBehindTheEndOfItsSwitchActsOnNothing) {
    twoApplications();
    start();
    showSwitch(&VLHandler::KeyCycleAppForward);
    release();
    joinReleases();          // the end is queued for the main thread
    EXPECT_TRUE(key(vk::Q)); // still taken: the switch has not ended yet
    sim.pump();
    EXPECT_EQ(activations(b, "3"), 1);
    EXPECT_EQ(sim.countCalls("terminate"), 0);
    EXPECT_TRUE(sim.isApplicationRunning(b));
}

} // namespace
} // namespace velora
