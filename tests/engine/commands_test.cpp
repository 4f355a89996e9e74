// The command keys on the shown panel that act on the selection: what each does, what it
// leaves as it was, and which keys pass through.
#include "engine_fixture.h"

namespace velora {
namespace {

class CommandsTest : public test::EngineTest {
  protected:
    // Applications A (in front) and B, one window each; B's window has a document.
    void SetUp() override {
        const std::vector<pid_t> p = applications({"A", "B"});
        a = p[0];
        b = p[1];
        wa = windowOf(a);
        wb = windowOf(b);
        sim.updateWindow(wb, [](sim::WindowSpec& w) { w.document = "file:///home/user/notes.txt"; });
        start();
    }
    // Shows the window mode and steps forward until a window of the process is selected.
    void showWindowOf(pid_t pid) {
        if (!panel().isShown()) {
            show(&VLHandler::KeyCycleWindowForward);
            sim.clearCalls();
        }
        for (int i = 0; i < 5 && panel().selectedElement()->windowRef()->pid() != pid; ++i)
            engine->KeyCycleWindowForward();
        ASSERT_EQ(panel().selectedElement()->windowRef()->pid(), pid);
    }
    pid_t a = 0, b = 0;
    uint32_t wa = 0, wb = 0;
};

// (Quitting with q, minimising with m and Escape are driven end to end on a real desktop.)
TEST_F(CommandsTest, ItemCommandsActOnTheSelectionInAnyCaseAndTheSwitchGoesOn) {
    show(&VLHandler::KeyCycleAppForward);
    EXPECT_TRUE(key(vk::F, kOption | kEventFlagShift)); // "F", as with Shift held for a backward switch
    EXPECT_FALSE(key(vk::Key1));
    EXPECT_FALSE(key(vk::DownArrow));
    sim.pump();
    EXPECT_EQ(sim.countCalls("forceTerminate"), 1);
    EXPECT_TRUE(panel().browserData()[1]->isTransparent());
    EXPECT_EQ(selectedTitle(), "A"); // moved on past the faded item
    EXPECT_TRUE(panel().isShown());
    EXPECT_TRUE(engine->shouldHandleKeys());
    EXPECT_EQ(sim.countCalls("activate"), 0);
}

TEST_F(CommandsTest, RevealShowsTheDocumentAndBeepsWithoutOne) {
    showWindowOf(a);
    EXPECT_TRUE(key(vk::R));
    sim.pump();
    EXPECT_EQ(sim.beeps(), 1);
    EXPECT_EQ(sim.countCalls("reveal"), 0);
    EXPECT_TRUE(panel().isShown()); // the switch as it was
    EXPECT_TRUE(link.backwardRegistered);

    showWindowOf(b);
    EXPECT_TRUE(key(vk::R));
    sim.pump();
    ASSERT_EQ(sim.countCalls("reveal"), 1);
    EXPECT_EQ(sim.calls().back().detail, "/home/user/notes.txt");
}

TEST_F(CommandsTest, HideOthersHidesTheRestAndRaisesTheWindow) {
    const pid_t c = applications({"C"})[0];
    sim.focusWindow(wa);
    showWindowOf(b);
    EXPECT_TRUE(key(vk::O));
    sim.pump();
    EXPECT_TRUE(sim.isApplicationHidden(a));
    EXPECT_TRUE(sim.isApplicationHidden(c));
    EXPECT_EQ(sim.focusedWindow(), wb);
    EXPECT_FALSE(panel().isShown());
    release();
    settle();
    EXPECT_EQ(sim.countCalls("setFrontmost"), 2); // raised once
}

} // namespace
} // namespace velora
