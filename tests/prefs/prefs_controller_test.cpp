// The system's preferences window: panes, setting controls, recorders and their stored forms.
#include <QCheckBox>
#include <QMainWindow>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"
#include "prefs/axcv_handler.h"
#include "prefs/defaults_controls.h"
#include "prefs/prefs_controller.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

class PrefsControllerTest : public test::PrefsTest {
  protected:
    PrefsControllerTest() { prefs.setApplicationDelegate(&delegate); }

    // Records a combination in a recorder as the user would.
    void record(SRRecorderControl* recorder, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(recorder, Qt::LeftButton, {}, QPoint(30, recorder->height() / 2));
        QTest::keyClick(recorder, key, modifiers);
    }
    // The stored form other processes read: exactly two integers (equality is type-strict).
    void expectStored(const char* identifier, int keyCode, int modifiers) {
        EXPECT_EQ(storedValue(identifier),
                  PlistValue(PlistValue::Dictionary{{"keyCode", keyCode}, {"modifiers", modifiers}}))
            << identifier;
    }

    test::FakePrefsDelegate delegate;
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
};

TEST_F(PrefsControllerTest, EveryShowingHasFreshRecorders) {
    prefs.showWindow();
    EXPECT_EQ(prefs.keyCycleAppForward()->displayedText(), "Super+Tab");
    delegate.keys[kKeyCycleAppForward] = SGKeyCombo::keyComboWithKeyCode(vk::Q, 4096);
    prefs.window()->hide();
    prefs.showWindow();
    EXPECT_EQ(prefs.keyCycleAppForward()->displayedText(), "Ctrl+Q");
}

TEST_F(PrefsControllerTest, ARecordedCombinationIsStoredAnnouncedAndRefusedElsewhere) {
    prefs.showWindow();
    record(prefs.keyCycleAppWindowBackward(), Qt::Key_AsciiTilde, Qt::AltModifier | Qt::ShiftModifier);
    expectStored(kKeyCycleAppWindowBackward, vk::Grave, 768);
    EXPECT_EQ(delegate.updateStateSenders, std::vector<QObject*>{&prefs});
    // The hot keys stepped aside only while recording.
    EXPECT_EQ(delegate.recordingFlags, (std::vector<bool>{true, false}));

    // Super+Tab belongs to KeyCycleAppForward: refused visibly, nothing stored or announced.
    SRRecorderControl* windowForward = prefs.keyCycleWindowForward();
    record(windowForward, Qt::Key_Tab, Qt::MetaModifier);
    EXPECT_FALSE(windowForward->refusalMessage().isEmpty());
    EXPECT_EQ(windowForward->displayedText(), windowForward->refusalMessage());
    EXPECT_TRUE(storedValue(kKeyCycleWindowForward).isNone());
    EXPECT_EQ(delegate.updateStateSenders.size(), 1u);
    windowForward->cancelRecording();

    // In its own recorder it is fine; with another modifier it is another combination, and
    // Tab does not move the focus away while recording.
    record(prefs.keyCycleAppForward(), Qt::Key_Tab, Qt::MetaModifier);
    expectStored(kKeyCycleAppForward, vk::Tab, 2048);
    record(windowForward, Qt::Key_Tab, Qt::MetaModifier | Qt::ControlModifier);
    expectStored(kKeyCycleWindowForward, vk::Tab, 2048 | 4096);
}

TEST_F(PrefsControllerTest, OnlyTheUniversalBackwardTakesABareKeyButNotEscapeAndClearedRecordersCoexist) {
    prefs.showWindow();
    record(prefs.keyUniversalBackward(), Qt::Key_QuoteLeft, Qt::NoModifier);
    expectStored(kKeyUniversalBackward, vk::Grave, 0);
    record(prefs.keyUniversalBackward(), Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(prefs.keyUniversalBackward()->isRecording()) << "Escape cancels";
    expectStored(kKeyUniversalBackward, vk::Grave, 0);
    for (const auto& [id, recorder] : prefs.keyControlsDictionary()) {
        if (id == kKeyUniversalBackward) continue;
        record(recorder, Qt::Key_B, Qt::NoModifier);
        EXPECT_TRUE(recorder->isRecording()) << id;
        recorder->cancelRecording();
        EXPECT_TRUE(storedValue(id).isNone()) << id;
    }

    // Cleared, by Backspace or the cross at the right, is {-1, -1}, and the clear combination
    // is never taken.
    record(prefs.keyCycleAppBackward(), Qt::Key_Backspace, Qt::NoModifier);
    SRRecorderControl* windowBackward = prefs.keyCycleWindowBackward();
    QTest::mouseClick(windowBackward, Qt::LeftButton, {},
                      QPoint(windowBackward->width() - 14, windowBackward->height() / 2));
    expectStored(kKeyCycleAppBackward, -1, -1);
    expectStored(kKeyCycleWindowBackward, -1, -1);
    EXPECT_EQ(delegate.updateStateSenders.size(), 3u);
}

TEST_F(PrefsControllerTest, SettingControlsShowTheStoredValuesAndWriteTheirKeys) {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setInteger("ignoreHidden", 1);
    prefs.showWindow();
    EXPECT_TRUE(delegate.updateStateSenders.empty());
    EXPECT_TRUE(storedValue("ignoreHidden").isNone()); // showing writes nothing out

    // One check box for all: each is the same class over its own key.
    auto* box = qobject_cast<QCheckBox*>(prefs.settingControl("ignoreHidden"));
    ASSERT_TRUE(box && box->isChecked());
    box->click();
    EXPECT_EQ(storedValue("ignoreHidden"), PlistValue(0));
    EXPECT_EQ(delegate.updateStateSenders, std::vector<QObject*>{box});

    auto* delay = qobject_cast<DefaultsSlider*>(prefs.settingControl("displayDelay"));
    delegate.updateStateSenders.clear();
    delay->slider()->setValue(7);
    EXPECT_FLOAT_EQ(float(storedValue("displayDelay").toReal()), 0.7f);
    EXPECT_EQ(delegate.updateStateSenders, std::vector<QObject*>{delay});

    // A size, typed into the field beside its slider, changes the panel's size only.
    delegate.updateStateSenders.clear();
    auto* width = qobject_cast<DefaultsSlider*>(prefs.settingControl("windowWidth"));
    width->valueField()->setText("600");
    emit width->valueField()->editingFinished();
    EXPECT_FLOAT_EQ(float(storedValue("windowWidth").toReal()), 600.0f);
    EXPECT_EQ(delegate.updateWindowSizeSenders, std::vector<QObject*>{width});
    EXPECT_TRUE(delegate.updateStateSenders.empty());
}

TEST_F(PrefsControllerTest, CtrlWAloneHidesAndHidingEndsARecording) {
    prefs.showWindow();
    QTest::keyClick(prefs.preferencesGeneral(), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(prefs.window()->isVisible());

    QTest::mouseClick(prefs.keyCycleAppForward(), Qt::LeftButton, {}, QPoint(30, 10));
    ASSERT_EQ(delegate.recordingFlags, std::vector<bool>{true});

    // From a check box inside the pane the key reaches the pane too; the hot keys come back.
    QTest::keyClick(prefs.settingControl("monoIcon"), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(prefs.window()->isVisible());
    EXPECT_EQ(delegate.recordingFlags, (std::vector<bool>{true, false}));
    EXPECT_FALSE(prefs.keyCycleAppForward()->isRecording());
}

} // namespace
} // namespace velora
