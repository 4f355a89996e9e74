// The commands that end a switch (Escape, comma, "r", "o") and the item commands, pressed on
// the shown panel or during the display delay. During the delay the polling thread holds the
// session lock and will wait for the main thread to show the panel: the main thread must never
// wait for that lock, and the switch still ends in exactly one activation, cancel or command.
#include "engine_fixture.h"

namespace velora {
namespace {

enum class When { Shown, DuringDelayThenHeld, DuringDelayThenReleased };
enum class Outcome { Cancel, Preferences, Reveal, SwitchToB };

struct EndingCase {
    const char* name;
    int64_t key;
    When when;
    Outcome outcome;
    char hidesAtOnce = 0; // the application the key hides before the panel is up
};

const EndingCase kCases[] = {
    {"EscapeShown", vk::Escape, When::Shown, Outcome::Cancel},
    {"EscapeDuringDelay", vk::Escape, When::DuringDelayThenHeld, Outcome::Cancel},
    {"EscapeThenQuickRelease", vk::Escape, When::DuringDelayThenReleased, Outcome::SwitchToB},
    {"CommaShown", vk::Comma, When::Shown, Outcome::Preferences},
    {"CommaDuringDelay", vk::Comma, When::DuringDelayThenHeld, Outcome::Preferences},
    {"CommaThenQuickRelease", vk::Comma, When::DuringDelayThenReleased, Outcome::SwitchToB},
    {"RevealShown", vk::R, When::Shown, Outcome::Reveal},
    {"RevealDuringDelay", vk::R, When::DuringDelayThenHeld, Outcome::Reveal},
    {"RevealThenQuickRelease", vk::R, When::DuringDelayThenReleased, Outcome::SwitchToB},
    {"HideOthersDuringDelay", vk::O, When::DuringDelayThenHeld, Outcome::SwitchToB, 'A'},
    {"HideOthersThenQuickRelease", vk::O, When::DuringDelayThenReleased, Outcome::SwitchToB, 'A'},
    {"HideThenQuickRelease", vk::H, When::DuringDelayThenReleased, Outcome::SwitchToB, 'B'},
};

class EndingCommandsTest : public test::EngineTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(EndingCommandsTest, EndsInExactlyOneOutcome) {
    const EndingCase& c = GetParam();
    const std::vector<pid_t> p = applications({"A", "B"}); // A in front, B selected
    const pid_t a = p[0], b = p[1];
    start();
    if (c.when == When::Shown) {
        show(&VLHandler::KeyCycleAppForward);
        sim.clearCalls();
        ASSERT_TRUE(key(c.key));
        sim.pump();
        EXPECT_FALSE(panel().isShown());
    } else {
        hold();
        press(&VLHandler::KeyCycleAppForward);
        // The main thread comes back from the command at once: pump() returning is the proof.
        ASSERT_TRUE(key(c.key));
        sim.pump();
        EXPECT_FALSE(panel().isShown());
        EXPECT_EQ(delegate.preferences.load() + sim.countCalls("reveal"), 0) << "acted before the panel was up";
        EXPECT_TRUE(!c.hidesAtOnce || sim.isApplicationHidden(c.hidesAtOnce == 'A' ? a : b));
        EXPECT_EQ(panel().browserData()[1]->isTransparent(), c.hidesAtOnce == 'B'); // B's item, faded
        if (c.when == When::DuringDelayThenHeld) {
            while (engine->pollingThreadsRunning()) nextPoll();
            sim.pump(); // the command's retry, handed back when the lock was let go
            EXPECT_FALSE(panel().isShown());
        }
    }
    release();
    settle();
    expectSwitchOver();

    int reveals = 0;
    for (const auto& call : sim.calls()) reveals += call.kind == "reveal" && call.detail == "/opt/B";
    const int activated = sim.countCalls("activate");
    switch (c.outcome) {
    case Outcome::Cancel:
        EXPECT_EQ(activations(a, "2"), 1);
        EXPECT_EQ(activated, 1);
        break;
    case Outcome::Preferences:
        EXPECT_EQ(delegate.preferences.load(), 1);
        EXPECT_EQ(activated, 0);
        break;
    case Outcome::Reveal:
        EXPECT_EQ(reveals, 1);
        EXPECT_EQ(activated, 0);
        break;
    case Outcome::SwitchToB:
        EXPECT_EQ(activations(b, "3"), 1);
        EXPECT_EQ(activated, 1);
        EXPECT_EQ(delegate.preferences.load() + sim.countCalls("reveal"), 0);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(, EndingCommandsTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace velora
