// The shortcut recorder and the key names and codes it works with.
#include <QTest>
#include <gtest/gtest.h>

#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "platform/x_keycodes.h"
#include "prefs/recorder_keys.h"
#include "prefs/shortcut_recorder.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

using test::pressKey;

TEST(RecorderKeys, StoredModifiersRoundTripAndTheClearCombinationHasNone) {
    // The clear combination's -1 is no modifiers, not all of them.
    EXPECT_EQ(carbonToCocoaFlags(-1), 0u);
    EXPECT_EQ(cocoaToCarbonFlags(kEventFlagAlphaShift | kEventFlagNumericPad), 0);
    for (int64_t stored : {0, 256, 512, 2048, 4096, 0x1B00}) EXPECT_EQ(cocoaToCarbonFlags(carbonToCocoaFlags(stored)), stored);
}

TEST(RecorderKeys, CombinationsAreNamedTheDesktopWay) {
    EXPECT_EQ(displayNameForCombination(carbonToCocoaFlags(2048), vk::Tab), "Super+Tab");
    EXPECT_EQ(displayNameForCombination(carbonToCocoaFlags(256), vk::Grave), "Alt+`");
    EXPECT_EQ(displayNameForCombination(carbonToCocoaFlags(2560), vk::Tab), "Super+Shift+Tab");
    EXPECT_EQ(displayNameForCombination(carbonToCocoaFlags(0x1B00), vk::Q), "Super+Ctrl+Alt+Shift+Q");
    EXPECT_EQ(displayNameForCombination(0, vk::Keypad7), "Keypad 7");
    EXPECT_EQ(displayNameForCombination(kEventFlagControl, vk::F5), "Ctrl+F5");
    EXPECT_EQ(displayNameForCombination(0, vk::Delete), "Backspace");
    EXPECT_EQ(displayNameForCombination(kEventFlagCommand, -1), "");
}

TEST(RecorderKeys, QtKeysBecomeVirtualKeysByTheirUSCharacter) {
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Tab, false), vk::Tab);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Backtab, false), vk::Tab);  // what Shift+Tab arrives as
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_QuoteLeft, false), vk::Grave);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_AsciiTilde, false), vk::Grave);  // Shift+`
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Exclam, false), vk::Key1);       // Shift+1
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Q, false), vk::Q);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_7, true), vk::Keypad7);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_7, false), vk::Key7);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Backspace, false), vk::Delete);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_Delete, false), vk::ForwardDelete);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_F12, false), vk::F12);
    EXPECT_EQ(virtualKeyForQtKey(Qt::Key_MediaPlay, false), -1);
    // X key codes name positions: the key left of 1 is the grave key whatever the layout.
    EXPECT_EQ(virtualKeyForXKeycode(49), vk::Grave);
    EXPECT_EQ(virtualKeyForXKeycode(23), vk::Tab);
    EXPECT_EQ(virtualKeyForXKeycode(52), vk::Z);
}

TEST(RecorderKeys, QtModifiersMapByPosition) {
    EXPECT_EQ(eventFlagsForQtModifiers(Qt::AltModifier), kEventFlagCommand);
    EXPECT_EQ(eventFlagsForQtModifiers(Qt::MetaModifier), kEventFlagOption);
    EXPECT_EQ(eventFlagsForQtModifiers(Qt::ControlModifier), kEventFlagControl);
    EXPECT_EQ(eventFlagsForQtModifiers(Qt::ShiftModifier | Qt::KeypadModifier), kEventFlagShift);
    QKeyEvent capsLocked(QEvent::KeyPress, Qt::Key_W, Qt::ControlModifier, 0, 0, 0x2);
    EXPECT_EQ(eventFlagsForKeyEvent(capsLocked), kEventFlagControl | kEventFlagAlphaShift);
}

// The preference windows' Ctrl+W and Ctrl+C... all go through this one rule.
TEST(RecorderKeys, ControlOnlyMeansCtrlWithNoOtherModifierAndCapsLockOff) {
    auto controlOnly = [](Qt::KeyboardModifiers modifiers, quint32 nativeModifiers = 0) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_W, modifiers, 0, 0, nativeModifiers);
        return isControlOnlyKeyEvent(event);
    };
    EXPECT_TRUE(controlOnly(Qt::ControlModifier));
    EXPECT_TRUE(controlOnly(Qt::ControlModifier | Qt::KeypadModifier));
    EXPECT_FALSE(controlOnly(Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(controlOnly(Qt::ControlModifier, /*Caps Lock*/ 0x2));
    EXPECT_FALSE(controlOnly(Qt::AltModifier));
    EXPECT_FALSE(controlOnly(Qt::NoModifier));
}

class Recorder : public SRRecorderDelegate {
public:
    bool shortcutRecorderIsKeyCodeAndFlagsTaken(SRRecorderControl*, int64_t code, uint64_t flags, QString*) override {
        asked.push_back({flags, code});
        return taken && *taken == KeyComboPair{flags, code};
    }
    void shortcutRecorderKeyComboDidChange(SRRecorderControl*, KeyComboPair combo) override { changes.push_back(combo); }
    void shortcutIsRecording(bool on) override { recording.push_back(on); }

    std::optional<KeyComboPair> taken;
    std::vector<KeyComboPair> asked, changes;
    std::vector<bool> recording;
};

class ShortcutRecorderTest : public ::testing::Test {
protected:
    ShortcutRecorderTest() {
        control.setDelegate(&delegate);
        control.resize(200, 28);
        control.show();
    }
    void clickField() { QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(40, 14)); }

    Recorder delegate;
    SRRecorderControl control;
};

TEST_F(ShortcutRecorderTest, AClickRecordsTheNextCombinationAndReportsIt) {
    control.setKeyCombo({carbonToCocoaFlags(2048), vk::Tab});
    EXPECT_EQ(control.displayedText(), "Super+Tab");
    clickField();
    EXPECT_TRUE(control.isRecording());
    EXPECT_EQ(delegate.recording, std::vector<bool>{true});

    pressKey(&control, Qt::Key_Backtab, Qt::AltModifier | Qt::ShiftModifier);
    const KeyComboPair altShiftTab{kEventFlagCommand | kEventFlagShift, vk::Tab};
    EXPECT_FALSE(control.isRecording());
    EXPECT_EQ(delegate.recording, (std::vector<bool>{true, false}));
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0], altShiftTab);
    EXPECT_EQ(control.keyCombo(), altShiftTab);
    EXPECT_EQ(control.displayedText(), "Alt+Shift+Tab");
}

TEST_F(ShortcutRecorderTest, ModifierKeysAloneOnlyShowWhatIsHeld) {
    clickField();
    pressKey(&control, Qt::Key_Meta, Qt::MetaModifier);
    EXPECT_TRUE(control.isRecording());
    EXPECT_TRUE(delegate.asked.empty());
    // As X reports it: the state before the press; Qt adds the key's own modifier.
    QKeyEvent hold(QEvent::KeyPress, Qt::Key_Shift, Qt::MetaModifier);
    QCoreApplication::sendEvent(&control, &hold);
    EXPECT_EQ(control.displayedText(), "Super+Shift+…");
}

TEST_F(ShortcutRecorderTest, ABareKeyIsRefusedUnlessKeyOnlyIsAllowed) {
    clickField();
    pressKey(&control, Qt::Key_Q, Qt::NoModifier, "q");
    EXPECT_TRUE(control.isRecording());
    EXPECT_TRUE(delegate.changes.empty());
    EXPECT_FALSE(control.refusalMessage().isEmpty());
    EXPECT_EQ(control.displayedText(), control.refusalMessage());

    control.setAllowsKeyOnly(true, false);
    pressKey(&control, Qt::Key_Q, Qt::NoModifier, "q");
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0], (KeyComboPair{0, vk::Q}));
}

TEST_F(ShortcutRecorderTest, EscapeCancelsAndBackspaceClearsUnlessEscapeKeysRecord) {
    control.setAllowsKeyOnly(true, false);
    control.setKeyCombo({kEventFlagCommand, vk::Grave});
    clickField();
    pressKey(&control, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(control.isRecording());
    EXPECT_TRUE(delegate.changes.empty());
    EXPECT_EQ(control.keyCombo(), (KeyComboPair{kEventFlagCommand, vk::Grave}));

    clickField();
    pressKey(&control, Qt::Key_Backspace, Qt::NoModifier);
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0].code, -1);
    EXPECT_EQ(control.displayedText(), "Click to record");
    EXPECT_TRUE(delegate.asked.empty());  // clearing asks no one

    control.setAllowsKeyOnly(true, true);
    clickField();
    pressKey(&control, Qt::Key_Escape, Qt::NoModifier);
    ASSERT_EQ(delegate.changes.size(), 2u);
    EXPECT_EQ(delegate.changes[1], (KeyComboPair{0, vk::Escape}));
}

TEST_F(ShortcutRecorderTest, ATakenCombinationIsRefusedVisiblyAndRecordingGoesOn) {
    control.setKeyCombo({kEventFlagOption, vk::Tab});
    delegate.taken = KeyComboPair{kEventFlagCommand, vk::Tab};
    clickField();
    pressKey(&control, Qt::Key_Tab, Qt::AltModifier);
    EXPECT_TRUE(delegate.changes.empty());
    EXPECT_TRUE(control.isRecording());
    EXPECT_EQ(control.keyCombo(), (KeyComboPair{kEventFlagOption, vk::Tab}));
    EXPECT_EQ(control.refusalMessage(), "Already used by another shortcut");

    // Tab with Super must not move the focus away while recording.
    pressKey(&control, Qt::Key_Tab, Qt::MetaModifier | Qt::ControlModifier);
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0], (KeyComboPair{kEventFlagOption | kEventFlagControl, vk::Tab}));
}

TEST_F(ShortcutRecorderTest, HidingTheFieldEndsTheRecordingSoTheHotKeysComeBack) {
    clickField();
    control.hide();
    EXPECT_FALSE(control.isRecording());
    EXPECT_EQ(delegate.recording, (std::vector<bool>{true, false}));
}

TEST_F(ShortcutRecorderTest, TheCrossClearsWithTheMouse) {
    control.setKeyCombo({kEventFlagCommand, vk::Tab});
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(control.width() - 14, 14));
    EXPECT_FALSE(control.isRecording());
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0].code, -1);
}

} // namespace
} // namespace velora
