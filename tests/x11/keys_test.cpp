// The event tap: every key is seen, intercepted keys never reach the focused client (during
// a switch no key does), the others arrive unchanged, and releasing the modifiers is noticed
// even under a grab.
#include <mutex>

#include "platform/virtual_keys.h"
#include "support/file_text.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

class KeysTest : public X11Test {
  protected:
    void SetUp() override {
        X11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        eventTap = desktop->input().createEventTap([this](const KeyEvent& e) {
            std::lock_guard lock(mutex);
            seen.push_back(e);
            return TapVerdict::Pass;
        });
        ASSERT_TRUE(eventTap);
        tapThread = std::thread([this] { eventTap->run(); });
    }
    void TearDown() override {
        if (desktop) desktop->shutdown();
        if (tapThread.joinable()) tapThread.join();
        eventTap.reset();
        X11Test::TearDown();
    }
    // How many events of this type, key and modifiers the tap saw (-1: a flag change of any key).
    int count(KeyEventType type, int64_t keyCode, uint64_t flags) {
        std::lock_guard lock(mutex);
        return int(std::count_if(seen.begin(), seen.end(), [&](const KeyEvent& e) {
            return e.type == type && (keyCode < 0 || e.keyCode == keyCode) &&
                   (e.flags & kEventFlagsTrackedMask) == flags;
        }));
    }
    bool sawFlags(uint64_t flags) { return count(KeyEventType::FlagsChanged, -1, flags) > 0; }

    std::unique_ptr<EventTap> eventTap;
    std::thread tapThread;
    std::mutex mutex;
    std::vector<KeyEvent> seen;
};

TEST_F(KeysTest, InterceptedKeysNeverReachTheFocusedClientAndTheTapSeesEveryKeyOnce) {
    TempDir dir;
    const auto typed = dir / "typed";
    const auto contents = [&] { return readFile(typed); };
    const auto ready = dir / "ready";
    ChildProcess xterm({"xterm", "-T", "velora-keys", "-e", "sh", "-c",
                        "stty -echo; : > '" + ready.string() + "'; exec cat > '" + typed.string() + "'"});
    const uint32_t window = waitForWindowOf(xterm.pid());
    ASSERT_TRUE(window);
    eventTap->setInterceptedKeys({{vk::Q, 0, false}});
    ASSERT_TRUE(focus(window));
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(ready); })) << "the shell did not start";

    // Other suites' windows may take the focus meanwhile: it is taken back before each key.
    const auto type = [&](int64_t key, std::vector<int64_t> modifiers = {}) {
        if (display->activeWindow() != window) focus(window);
        tap(key, modifiers);
    };
    type(vk::A);
    type(vk::Q); // intercepted
    // A switch's keys (any modifiers): the whole keyboard is the tap's until they go.
    eventTap->setInterceptedKeys({{vk::Q, 0, false}, {vk::Escape, 0, true}});
    EXPECT_FALSE(display->grabKeyboard(true)) << "the keyboard is not held during a switch";
    type(vk::Escape, {vk::Shift});
    type(vk::C);
    eventTap->setInterceptedKeys({{vk::Q, 0, false}});
    EXPECT_TRUE(display->grabKeyboard(true)) << "the keyboard is still held after the switch";
    display->grabKeyboard(false);
    type(vk::B);
    type(vk::Q, {vk::Shift}); // Shift-Q is not Q alone: it passes
    type(vk::Return);
    EXPECT_TRUE(eventually([&] { return contents() == "abQ\n"; })) << "typed: '" << contents() << "'";

    // The tap saw them all, the intercepted ones included, each press once (raw and core
    // events may both report it).
    EXPECT_TRUE(eventually([&] { return count(KeyEventType::KeyDown, vk::Return, 0) == 1; }));
    EXPECT_EQ(count(KeyEventType::KeyDown, vk::Q, 0), 1);
    EXPECT_EQ(count(KeyEventType::KeyUp, vk::Q, 0), 1);
    EXPECT_EQ(count(KeyEventType::KeyDown, vk::Escape, kEventFlagShift), 1);
    EXPECT_EQ(count(KeyEventType::KeyDown, vk::C, 0), 1);
    EXPECT_EQ(count(KeyEventType::KeyDown, vk::Q, kEventFlagShift), 1);
}

TEST_F(KeysTest, ReleasingTheModifiersIsNoticedWhileAnotherClientGrabsTheKeyboard) {
    ASSERT_TRUE(display->grabKeyboard(true));
    // A switch cannot have the keyboard now: its keys are grabbed one by one instead.
    eventTap->setInterceptedKeys({{vk::Escape, 0, true}});
    EXPECT_TRUE(eventTap->refusedKeys().empty());
    key(vk::Command, true);
    key(vk::Shift, true);
    EXPECT_TRUE(eventually([&] { return sawFlags(kEventFlagCommand | kEventFlagShift); }));
    EXPECT_EQ(desktop->input().currentModifierFlags() & kEventFlagsTrackedMask,
              kEventFlagCommand | kEventFlagShift);
    tap(vk::Grave);
    key(vk::Command, false);
    EXPECT_TRUE(eventually([&] { return sawFlags(kEventFlagShift); }));
    key(vk::Shift, false);
    EXPECT_TRUE(eventually([&] { return sawFlags(0); }));
    EXPECT_EQ(count(KeyEventType::KeyDown, vk::Grave, kEventFlagCommand | kEventFlagShift), 1);
    EXPECT_EQ(desktop->input().currentModifierFlags() & kEventFlagsTrackedMask, 0u);
    display->grabKeyboard(false);
}

// Its callers ask without modifiers: the command keys by their character, the key names.
TEST_F(KeysTest, TheKeyboardLayoutShowsTheCharacterOfEachKey) {
    auto layout = desktop->input().currentKeyboardLayout();
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->identifier().empty());
    uint32_t dead = 0;
    EXPECT_EQ(layout->translate(uint16_t(vk::A), 0, dead), u"a");
    EXPECT_EQ(layout->translate(uint16_t(vk::LeftArrow), 0, dead), u"");
    EXPECT_EQ(desktop->input().currentKeyboardLayout(), layout);
}

} // namespace
} // namespace velora::test
