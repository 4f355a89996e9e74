// The focused-window poll on a desktop that reports focus changes: it sleeps while the focus
// stands still, wakes at once on a change, and still rescans every ten seconds.
#include "model_fixture.h"

namespace velora {
namespace {

class FocusPollIdleTest : public test::ModelTest {
  protected:
    // Ends the poll's sleep of one interval and waits until the thread has looked at the
    // focus count and sleeps again.
    void endPollSleep() {
        const int looks = sim.countCalls("focusChangeCount");
        sim.advance(VLWindowManager::kPollInterval);
        ASSERT_TRUE(
            sim.pumpUntil([&] { return sim.countCalls("focusChangeCount") > looks && sim.sleepers() >= 1; }));
    }
};

TEST_F(FocusPollIdleTest, SleepsWhileTheFocusStandsStillWakesOnAChangeAndStillRescans) {
    sim.setReportsFocusChanges(true);
    auto [a, wa] = appWithWindow("org.example.a", "A");
    auto [b, wb] = appWithWindow("org.example.b", "B");
    VLWindowManager& m = start();
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wa, wb}));

    endPollSleep();
    sim.advance(5.0);
    sim.pump();
    EXPECT_EQ(m.completedPasses(), 1u) << "an unchanged focus woke the poll";

    // The change's wake-up runs the poll without the clock moving.
    sim.focusWindow(wb);
    ASSERT_TRUE(sim.pumpUntil([&] { return m.completedPasses() == 2 && sim.sleepers() >= 1; }));
    EXPECT_EQ(listed(m), (std::vector<uint64_t>{wb, wa}));

    // An application that announced nothing is found by the rescan ten seconds after the last.
    sim::ApplicationSpec quiet;
    quiet.bundleIdentifier = "org.example.quiet";
    const uint32_t found = sim.addWindow(sim.addApplication(quiet));
    const auto listsIt = [&] { return listed(m).size() == 3 && listed(m).back() == found; };
    endPollSleep();
    sim.advance(4.0);
    sim.pump();
    EXPECT_FALSE(listsIt());
    sim.advance(1.0);
    EXPECT_TRUE(sim.pumpUntil(listsIt));
    (void)a, (void)b;
}

} // namespace
} // namespace velora
