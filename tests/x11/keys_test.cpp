// The event tap: releasing the modifiers is noticed even under another client's grab, and
// the keyboard layout names the keys. (Intercepted keys never reaching the focused client are
// checked end to end, under the stock managers too.)
#include <mutex>

#include "platform/virtual_keys.h"
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
    key(vk::Grave, true);
    key(vk::Grave, false);
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
}

} // namespace
} // namespace velora::test
