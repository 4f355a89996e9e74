// The event tap: every key is seen, intercepted keys never reach the focused client, the
// others arrive unchanged, and releasing the modifiers is noticed even under a grab.
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/virtual_keys.h"
#include "platform/x11/x11_keycodes.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

class KeysTest : public X11Test {
protected:
    void SetUp() override {
        X11Test::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        tap = desktop->input().createEventTap([this](const KeyEvent& e) {
            std::lock_guard lock(mutex);
            seen.push_back(e);
            return TapVerdict::Pass;
        });
        ASSERT_TRUE(tap);
        tapThread = std::thread([this] { tap->run(); });
    }
    void TearDown() override {
        if (desktop) desktop->shutdown();
        if (tapThread.joinable()) tapThread.join();
        tap.reset();
        X11Test::TearDown();
    }
    std::vector<KeyEvent> events() {
        std::lock_guard lock(mutex);
        return seen;
    }
    void forget() {
        std::lock_guard lock(mutex);
        seen.clear();
    }
    bool sawKey(KeyEventType type, int64_t keyCode, uint64_t flags) {
        for (const KeyEvent& e : events())
            if (e.type == type && e.keyCode == keyCode && (e.flags & kEventFlagsTrackedMask) == flags) return true;
        return false;
    }
    bool sawFlags(uint64_t flags) {
        for (const KeyEvent& e : events())
            if (e.type == KeyEventType::FlagsChanged && (e.flags & kEventFlagsTrackedMask) == flags) return true;
        return false;
    }
    static std::string contents(const std::filesystem::path& file) {
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::unique_ptr<EventTap> tap;
    std::thread tapThread;
    std::mutex mutex;
    std::vector<KeyEvent> seen;
};

TEST_F(KeysTest, KeysReachTheFocusedClientExceptTheInterceptedOnes) {
    TempDir dir;
    const auto typed = dir / "typed";
    ChildProcess xterm({"xterm", "-T", "velora-keys", "-e", "sh", "-c", "stty -echo; cat > '" + typed.string() + "'"});
    const uint32_t window = waitForWindowOf(xterm.pid());
    ASSERT_TRUE(window);
    tap->setInterceptedKeys({{vk::Q, 0, false}, {vk::Tab, kEventFlagCommand, false}, {vk::Escape, 0, true}});
    ASSERT_TRUE(focus(window));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the shell start cat

    // Other suites' windows may take the focus meanwhile: it is taken back before each key.
    const auto type = [&](int64_t key, std::vector<int64_t> modifiers = {}) {
        if (display->activeWindow() != window) focus(window);
        display->tap(key, modifiers);
    };
    type(vk::A);
    type(vk::Q);                    // intercepted
    type(vk::Tab, {vk::Command});   // Alt-Tab, intercepted
    type(vk::Escape, {vk::Shift});  // intercepted whatever the modifiers
    type(vk::B);
    type(vk::Q, {vk::Shift});       // Shift-Q is not Q alone: it passes
    type(vk::Return);
    EXPECT_TRUE(eventually([&] { return contents(typed) == "abQ\n"; })) << "typed: '" << contents(typed) << "'";

    // The tap saw them all, with their modifiers, the intercepted ones included.
    EXPECT_TRUE(eventually([&] { return sawKey(KeyEventType::KeyDown, vk::Return, 0); }));
    EXPECT_TRUE(sawKey(KeyEventType::KeyDown, vk::A, 0));
    EXPECT_TRUE(sawKey(KeyEventType::KeyDown, vk::Q, 0));
    EXPECT_TRUE(sawKey(KeyEventType::KeyUp, vk::Q, 0));
    EXPECT_TRUE(sawKey(KeyEventType::KeyDown, vk::Tab, kEventFlagCommand));
    EXPECT_TRUE(sawKey(KeyEventType::KeyDown, vk::Escape, kEventFlagShift));
    EXPECT_TRUE(sawKey(KeyEventType::KeyDown, vk::Q, kEventFlagShift));
    for (const KeyEvent& e : events()) {
        if (e.type != KeyEventType::KeyDown) continue;
        EXPECT_FALSE(e.isAutoRepeat);
        if (e.keyCode == vk::A) {
            EXPECT_EQ(e.charactersIgnoringModifiers, "a");
        } else if (e.keyCode == vk::Escape) {
            EXPECT_EQ(e.charactersIgnoringModifiers, "\x1b");
        }
    }
    // Each press once, though raw and core events may both report it.
    int qDowns = 0;
    for (const KeyEvent& e : events())
        if (e.type == KeyEventType::KeyDown && e.keyCode == vk::Q && e.flags == 0) ++qDowns;
    EXPECT_EQ(qDowns, 1);

    // No longer intercepted: the key comes through again.
    tap->setInterceptedKeys({});
    type(vk::Q);
    type(vk::Return);
    EXPECT_TRUE(eventually([&] { return contents(typed) == "abQ\nq\n"; })) << "typed: '" << contents(typed) << "'";
}

TEST_F(KeysTest, ReleasingTheModifiersIsNoticedWhileAnotherClientGrabsTheKeyboard) {
    ASSERT_TRUE(display->grabKeyboard());
    display->key(x11::xKeycodeForVirtualKey(vk::Command), true);
    display->key(x11::xKeycodeForVirtualKey(vk::Shift), true);
    EXPECT_TRUE(eventually([&] { return sawFlags(kEventFlagCommand | kEventFlagShift); }));
    EXPECT_EQ(desktop->input().currentModifierFlags() & kEventFlagsTrackedMask, kEventFlagCommand | kEventFlagShift);
    display->tap(vk::Grave);
    display->key(x11::xKeycodeForVirtualKey(vk::Command), false);
    EXPECT_TRUE(eventually([&] { return sawFlags(kEventFlagShift); }));
    display->key(x11::xKeycodeForVirtualKey(vk::Shift), false);
    EXPECT_TRUE(eventually([&] { return sawFlags(0); }));
    EXPECT_TRUE(sawKey(KeyEventType::KeyDown, vk::Grave, kEventFlagCommand | kEventFlagShift));
    EXPECT_EQ(desktop->input().currentModifierFlags() & kEventFlagsTrackedMask, 0u);
    display->ungrabKeyboard();
}

TEST_F(KeysTest, ReleasingTheModifiersIsNoticedAfterAnInterceptedKey) {
    // The intercepted key arrives under this program's own grab, when raw events pause.
    tap->setInterceptedKeys({{vk::Tab, kEventFlagOption, false}});
    display->key(x11::xKeycodeForVirtualKey(vk::Option), true);
    display->key(x11::xKeycodeForVirtualKey(vk::Tab), true);
    display->key(x11::xKeycodeForVirtualKey(vk::Option), false);
    display->key(x11::xKeycodeForVirtualKey(vk::Tab), false);
    EXPECT_TRUE(eventually([&] { return sawKey(KeyEventType::KeyDown, vk::Tab, kEventFlagOption); }));
    EXPECT_TRUE(eventually([&] { return sawFlags(0); }));
    EXPECT_TRUE(eventually([&] { return sawKey(KeyEventType::KeyUp, vk::Tab, 0); }));
}

TEST_F(KeysTest, ADisabledTapSeesNothingAndTakesNothing) {
    tap->setEnabled(false);
    display->tap(vk::A);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(events().empty());
    tap->setEnabled(true);
    display->tap(vk::A);
    EXPECT_TRUE(eventually([&] { return sawKey(KeyEventType::KeyDown, vk::A, 0); }));
}

TEST_F(KeysTest, TheKeyboardLayoutShowsTheCharacterOfEachKey) {
    auto layout = desktop->input().currentKeyboardLayout();
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->identifier().empty());
    uint32_t dead = 0;
    EXPECT_EQ(layout->translate(uint16_t(vk::A), 0, dead), u"a");
    EXPECT_EQ(layout->translate(uint16_t(vk::A), 0x02, dead), u"A");  // Shift
    EXPECT_EQ(layout->translate(uint16_t(vk::Key1), 0x02, dead), u"!");
    EXPECT_EQ(layout->translate(uint16_t(vk::Grave), 0, dead), u"`");
    EXPECT_EQ(layout->translate(uint16_t(vk::LeftArrow), 0, dead), u"");
    EXPECT_EQ(desktop->input().currentKeyboardLayout(), layout) << "the same layout object while nothing changed";
}

} // namespace
} // namespace velora::test
