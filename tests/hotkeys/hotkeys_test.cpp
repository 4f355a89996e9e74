// Hot keys on the simulated desktop. The center on the desktop's tap: which key events fire
// which hot keys, the registry and the keys the tap is told to take; what the delegate is
// offered, auto-repeat thinning, the report of released modifiers, stepping aside while
// recording, and the registry changing while keys arrive on the tap thread. (A key another
// program holds is left to it: the app suite's key conflicts and the held keys end to end.)
// Key combinations and their names: the stored form read back from hostile settings, the
// layout translator (threads) and the shipped key-code table.
#include <gmock/gmock.h>

#include <atomic>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hotkeys/sg_hot_key_center.h"
#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "support/sim_fixture.h"

namespace velora {

void PrintTo(const InterceptedKey& key, std::ostream* os) {
    *os << "{" << key.keyCode << ", 0x" << std::hex << key.modifiers << std::dec
        << (key.anyModifiers ? ", any}" : "}");
}

namespace {

using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// A delegate that records what it is offered.
class RecordingDelegate final : public SGHotKeyCenterDelegate {
  public:
    bool shouldHandleKey(const KeyEvent& event) override {
        std::lock_guard lock(mutex_);
        offered_.push_back(event);
        return answer.load();
    }
    void endHandling() override { ends.fetch_add(1); }

    std::vector<KeyEvent> offered() const {
        std::lock_guard lock(mutex_);
        return offered_;
    }

    std::atomic<bool> answer{false};
    std::atomic<int> ends{0};

  private:
    mutable std::mutex mutex_;
    std::vector<KeyEvent> offered_;
};

// A hot key center running on the simulated desktop's tap, its hot keys counting their firings.
class HotKeyCenterTest : public test::SimTest {
  protected:
    HotKeyCenterTest() {
        center().setDelegate(&delegate);
        EXPECT_TRUE(sim.waitForTap());
    }
    ~HotKeyCenterTest() override { finish(); }

    static SGHotKeyCenter& center() { return SGHotKeyCenter::sharedCenter(); }

    // Ends the desktop and joins every thread of the center, so that counts are final.
    void finish() {
        sim.shutdown();
        SGHotKeyCenter::resetForTesting();
    }

    // Registers a hot key whose action counts its firings (and whether one ran off the main thread).
    SGHotKeyRef registerHotKey(const std::string& identifier, int64_t keyCode, int64_t modifiers) {
        auto hotKey = std::make_shared<SGHotKey>(
            identifier, SGKeyCombo::keyComboWithKeyCode(keyCode, modifiers), [this, identifier] {
                ++fired_[identifier];
                if (!mainThread().isMainThread()) ++firedOffMain_;
            });
        EXPECT_TRUE(center().registerHotKey(hotKey));
        return hotKey;
    }

    // Runs what the tap handed to the main thread, then reads the count.
    int firings(const std::string& identifier) {
        sim.pump();
        return firedSoFar(identifier);
    }
    int firedSoFar(const std::string& identifier) const {
        EXPECT_EQ(firedOffMain_, 0);
        return fired_.count(identifier) ? fired_.at(identifier) : 0;
    }

    RecordingDelegate delegate;

  private:
    std::map<std::string, int> fired_; // main thread only
    int firedOffMain_ = 0;
};

TEST_F(HotKeyCenterTest, KeysFireAHotKeyWhenTheHeldModifiersEqualItsCombination) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    registerHotKey("CommandShiftTab", vk::Tab, kCommandKeyModifier | kShiftKeyModifier);
    registerHotKey("KeyUniversalBackward", vk::Grave, kShiftKeyModifier);
    const uint64_t command = kEventFlagCommand;
    const TapVerdict swallow = TapVerdict::Swallow, pass = TapVerdict::Pass;
    const struct {
        int64_t key;
        uint64_t flags;
        bool up;
        TapVerdict verdict;
        const char* fires;
    } keys[] = {
        {vk::Tab, command, false, swallow, "CommandTab"},
        {vk::Tab, command | kEventFlagShift, false, swallow, "CommandShiftTab"},
        {vk::Tab, command | kEventFlagOption, false, pass, nullptr}, // more modifiers than the combination
        {vk::Tab, 0, false, pass, nullptr},                          // fewer
        // Caps Lock is no held modifier.
        {vk::Tab, command | kEventFlagAlphaShift, false, swallow, "CommandTab"},
        // The backward key fires with any modifiers.
        {vk::Grave, command | kEventFlagControl, false, swallow, "KeyUniversalBackward"},
        // A hot key's key-up is swallowed and fires nothing; other key-ups pass, never offered.
        {vk::Tab, command, true, swallow, nullptr},
        {vk::Tab, command | kEventFlagOption, true, pass, nullptr},
    };
    std::map<std::string, int> fired = {
        {"CommandTab", 0}, {"CommandShiftTab", 0}, {"KeyUniversalBackward", 0}};
    for (const auto& k : keys) {
        SCOPED_TRACE(testing::Message() << k.key << (k.up ? " up 0x" : " down 0x") << std::hex << k.flags);
        EXPECT_EQ(k.up ? sim.releaseKey(k.key, k.flags) : sim.pressKey(k.key, k.flags), k.verdict);
        // Not fired yet inside the tap callback: on the main thread, once it runs.
        if (k.fires) {
            EXPECT_EQ(firedSoFar(k.fires), fired[k.fires]++);
        }
        for (const auto& [name, count] : fired)
            EXPECT_EQ(firings(name), count) << name;
    }
    EXPECT_EQ(delegate.offered().size(), 2u); // the two key-downs that fired nothing
}

// A hot key is registered once however often it is registered; registered again with an
// invalid combination it is removed, and nothing invalid is kept.
TEST_F(HotKeyCenterTest, AHotKeyIsRegisteredOnceAndAnInvalidCombinationRemovesIt) {
    SGHotKeyRef hotKey = registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_EQ(center().allHotKeys().size(), 1u); // once by identity
    hotKey->setKeyCombo(SGKeyCombo::keyComboWithKeyCode(-1, 0));
    EXPECT_TRUE(center().registerHotKey(hotKey));
    EXPECT_TRUE(center().registerHotKey(nullptr));
    EXPECT_THAT(center().allHotKeys(), IsEmpty());
    EXPECT_THAT(sim.interceptedKeys(), IsEmpty());
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
}

// The tap takes the registered combinations, and during a switch the backward key and the
// command keys whatever is held; after the switch they are let go. (The replacement of the
// hot keys when the settings change is the app suite's.)
TEST_F(HotKeyCenterTest, InterceptedKeysFollowRegistrationsAndCommandKeys) {
    registerHotKey("KeyCycleAppForward", vk::Tab, kCommandKeyModifier);
    const InterceptedKey commandTab{vk::Tab, kEventFlagCommand, false};
    EXPECT_THAT(sim.interceptedKeys(), UnorderedElementsAre(commandTab));

    SGHotKeyRef backward = registerHotKey("KeyUniversalBackward", vk::Grave, kShiftKeyModifier);
    center().setCommandKeys({vk::Q, vk::Escape});
    EXPECT_THAT(sim.interceptedKeys(),
                UnorderedElementsAre(commandTab, InterceptedKey{vk::Grave, 0, true},
                                     InterceptedKey{vk::Q, 0, true}, InterceptedKey{vk::Escape, 0, true}));
    center().setCommandKeys({});
    center().unregisterHotKey(backward);
    EXPECT_THAT(sim.interceptedKeys(), UnorderedElementsAre(commandTab));
}

TEST_F(HotKeyCenterTest, KeyDownIsSwallowedExactlyWhenTheDelegateSaysSo) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    delegate.answer = true;
    EXPECT_EQ(sim.pressKey(vk::S, kEventFlagCommand | kEventFlagAlphaShift), TapVerdict::Swallow);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow); // a hot key: not offered

    const auto offered = delegate.offered();
    ASSERT_EQ(offered.size(), 2u);
    EXPECT_EQ(offered[1].keyCode, vk::S);
    EXPECT_EQ(offered[1].flags, kEventFlagCommand | kEventFlagAlphaShift); // the event as it came
}

// A held hot key fires again on every seventh auto-repeat; the others are swallowed.
TEST_F(HotKeyCenterTest, AHeldHotKeyFiresAgainOnEverySeventhRepeat) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    for (int repeat = 1; repeat <= 7; ++repeat) {
        EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Swallow);
        EXPECT_EQ(firings("CommandTab"), repeat < 7 ? 1 : 2) << "repeat " << repeat;
    }
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, ReleaseIsReportedWhenNoTrackedModifierRemains) {
    // Reported after 0 and after a change that leaves only Caps Lock, which is no held
    // modifier; not while Shift or Control is still down.
    for (uint64_t flags : {kEventFlagCommand | kEventFlagShift, kEventFlagShift, uint64_t{0},
                           kEventFlagAlphaShift, kEventFlagAlphaShift | kEventFlagControl})
        EXPECT_EQ(sim.changeModifiers(flags), TapVerdict::Pass) << flags;
    // Without a delegate nothing is offered and no release is reported.
    center().setDelegate(nullptr);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    sim.changeModifiers(0);
    finish();
    EXPECT_EQ(delegate.ends.load(), 2);
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, RecordingPassesEverythingAndReportsNoRelease) {
    registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    delegate.answer = true;
    center().setIsRecording(true);
    EXPECT_TRUE(sim.tapRecording()); // a desktop whose bindings come first withdraws them
    EXPECT_EQ(sim.changeModifiers(kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand, true), TapVerdict::Pass);
    EXPECT_EQ(sim.pressKey(vk::A, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.releaseKey(vk::Tab, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.changeModifiers(0), TapVerdict::Pass);
    EXPECT_EQ(firings("CommandTab"), 0);

    center().setIsRecording(false);
    EXPECT_FALSE(sim.tapRecording());
    EXPECT_EQ(sim.pressKey(vk::Tab, kEventFlagCommand), TapVerdict::Swallow);
    sim.changeModifiers(0);
    finish();
    EXPECT_EQ(firings("CommandTab"), 1);
    EXPECT_EQ(delegate.ends.load(), 1);
    EXPECT_TRUE(delegate.offered().empty());
}

TEST_F(HotKeyCenterTest, RegistryAndKeysHeldElsewhereChangeWhileKeysArrive) {
    const InterceptedKey commandTab{vk::Tab, kEventFlagCommand, false};
    SGHotKeyRef hotKey = registerHotKey("CommandTab", vk::Tab, kCommandKeyModifier);
    RecordingDelegate other;
    constexpr int kPresses = 300;
    std::atomic<int> swallowed{0};
    std::thread typist([&] {
        for (int i = 0; i < kPresses; ++i) {
            if (sim.pressKey(vk::Tab, kEventFlagCommand) == TapVerdict::Swallow) ++swallowed;
            sim.changeModifiers(i % 2 ? kEventFlagCommand : 0);
        }
    });
    for (int i = 0; i < kPresses; ++i) {
        if (i % 2)
            center().registerHotKey(hotKey);
        else
            center().unregisterHotKey(hotKey);
        hotKey->setKeyCombo(
            SGKeyCombo::keyComboWithKeyCode(vk::Tab, i % 3 ? kCommandKeyModifier : kOptionKeyModifier));
        center().setCommandKeys(i % 2 ? std::vector<int64_t>{vk::Q} : std::vector<int64_t>{});
        center().setDelegate(i % 2 ? &other : &delegate);
        center().setIsRecording(i % 5 == 0);
        // Held by another program now and then: the key passes unfired meanwhile.
        if (i % 7 == 0)
            sim.holdKeyElsewhere(commandTab);
        else if (i % 7 == 3)
            sim.releaseKeyHeldElsewhere(commandTab);
        (void)center().allHotKeys();
        (void)center().refusedKeys();
    }
    typist.join();
    center().setIsRecording(false);
    finish();
    // Neither delegate swallows, so every swallowed key was a hot key that fired once.
    EXPECT_EQ(firings("CommandTab"), swallowed.load());
}

// Key code to the UTF-16 text it shows.
class FakeLayout : public KeyboardLayout {
  public:
    FakeLayout(std::string id, std::map<uint16_t, std::u16string> keys)
        : id_(std::move(id)), keys_(std::move(keys)) {}
    std::string identifier() const override { return id_; }
    std::u16string translate(uint16_t keyCode, uint32_t, uint32_t&) const override {
        const auto it = keys_.find(keyCode);
        return it == keys_.end() ? std::u16string() : it->second;
    }

  private:
    std::string id_;
    std::map<uint16_t, std::u16string> keys_;
};

std::shared_ptr<FakeLayout> layout(std::string id, std::map<uint16_t, std::u16string> keys) {
    return std::make_shared<FakeLayout>(std::move(id), std::move(keys));
}

using KeyNames = test::SimTest;

TEST_F(KeyNames, NamesFromManyThreadsWhileTheLayoutChanges) {
    sim.setKeyboardLayout(layout("a", {{0, u"a"}}));
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 300; ++i) {
                const std::string name = SGKeyCombo(0, kCommandKeyModifier).description();
                EXPECT_TRUE(name == "\u2318A" || name == "\u2318Q") << name;
            }
        });
    }
    for (int i = 0; i < 300; ++i)
        sim.setKeyboardLayout(i % 2 ? layout("a", {{0, u"a"}}) : layout("b", {{0, u"q"}}));
    for (auto& t : threads)
        t.join();
}

// Fixed names come from the shipped table, others from the current layout, upper-cased; a
// change of layout renames the keys.
TEST_F(KeyNames, FixedNamesFromTheShippedTableOthersFromTheLayoutUpperCased) {
    // A layout that is unknown: fixed names work, characters are empty.
    sim.setKeyboardLayout(nullptr);
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(48), "Tab");
    EXPECT_EQ(SGKeyCombo(0, kCommandKeyModifier).description(), "\u2318");

    sim.setKeyboardLayout(layout("us", {{0, u"a"}, {11, u"b"}}));
    for (const auto& [code, name] : {std::pair{48, "Tab"}, {0, "A"}, {1099, ""}})
        EXPECT_EQ(SGKeyCombo::stringForKeyCode(static_cast<int16_t>(code)), name) << code;
    EXPECT_EQ(SGKeyCombo(11, kCommandKeyModifier | kShiftKeyModifier).description(), "\u2318\u21E7B");

    sim.setKeyboardLayout(layout("fr", {{0, u"q"}}));
    EXPECT_EQ(SGKeyCombo::stringForKeyCode(0), "Q");
}

using Dict = PlistValue::Dictionary;

TEST(SGKeyComboStoredForm, MissingWronglyTypedAndOutOfRangeEntriesAreMended) {
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    const struct {
        PlistValue stored;
        SGKeyCombo read;
    } cases[] = {
        {Dict{{"keyCode", 48}, {"modifiers", 2048}}, SGKeyCombo(48, 2048)}, // as the preferences store it
        {PlistValue("Option-Tab"), SGKeyCombo::clearKeyCombo()},
        {Dict{{"modifiers", 2048}}, SGKeyCombo(0, 2048)},
        {Dict{{"keyCode", "48"}, {"modifiers", " 256"}}, SGKeyCombo(48, 256)},
        {Dict{{"keyCode", "Tab"}, {"modifiers", Dict{{"a", 1}}}}, SGKeyCombo(0, 0)},
        {Dict{{"keyCode", 48.9}, {"modifiers", -0.5}}, SGKeyCombo(48, 0)},
        {Dict{{"keyCode", 1e30}, {"modifiers", "99999999999999999999999"}}, SGKeyCombo(max, max)},
        {Dict{{"keyCode", -1e30}, {"modifiers", std::numeric_limits<int64_t>::min()}}, SGKeyCombo(-1, -1)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SGKeyCombo(c.stored), c.read) << c.stored.toXml();
}

} // namespace
} // namespace velora
