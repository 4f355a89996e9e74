// The commands that end a switch (Escape, comma, "r", "o") and the item commands, pressed
// during the display delay, while the polling thread holds the session lock and will wait for
// the main thread to show the panel: the main thread must never wait for that lock, and the
// switch still ends in exactly one activation, cancel or command.
#include <array>

#include "engine_fixture.h"

namespace velora {
namespace {

enum class When { DuringDelayThenHeld, DuringDelayThenReleased };
// What the switch ended in: A activated alone (a cancel), B activated by the switch, the
// preferences opened, B's bundle revealed, and all activations.
using Outcome = std::array<int, 5>;
constexpr Outcome kCancel{1, 0, 0, 0, 1}, kPreferences{0, 0, 1, 0, 0}, kReveal{0, 0, 0, 1, 0},
    kSwitchToB{0, 1, 0, 0, 1};

struct EndingCase {
    const char* name;
    int64_t key;
    When when;
    Outcome outcome;
    char hidesAtOnce = 0; // the application the key hides before the panel is up
};

const EndingCase kCases[] = {
    {"EscapeDuringDelay", vk::Escape, When::DuringDelayThenHeld, kCancel},
    {"EscapeThenQuickRelease", vk::Escape, When::DuringDelayThenReleased, kSwitchToB},
    {"CommaDuringDelay", vk::Comma, When::DuringDelayThenHeld, kPreferences},
    {"RevealDuringDelay", vk::R, When::DuringDelayThenHeld, kReveal},
    {"HideOthersDuringDelay", vk::O, When::DuringDelayThenHeld, kSwitchToB, 'A'},
    {"HideThenQuickRelease", vk::H, When::DuringDelayThenReleased, kSwitchToB, 'B'},
};

class EndingCommandsTest : public test::EngineTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(EndingCommandsTest, EndsInExactlyOneOutcome) {
    const EndingCase& c = GetParam();
    const std::vector<pid_t> p = applications({"A", "B"}); // A in front, B selected
    const pid_t a = p[0], b = p[1];
    start();
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
        while (engine->pollingThreadsRunning())
            nextPoll();
        sim.pump(); // the command's retry, handed back when the lock was let go
        EXPECT_FALSE(panel().isShown());
    }
    release();
    settle();
    expectSwitchOver();

    int reveals = 0;
    for (const auto& call : sim.calls())
        reveals += call.kind == "reveal" && call.detail == "/opt/B";
    const Outcome outcome{activations(a, "2"), activations(b, "3"), delegate.preferences.load(), reveals,
                          sim.countCalls("activate")};
    EXPECT_EQ(outcome, c.outcome);
}

INSTANTIATE_TEST_SUITE_P(, EndingCommandsTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace velora
