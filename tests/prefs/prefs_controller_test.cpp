// The system's preferences window: panes, setting controls, recorders and their stored forms.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMainWindow>
#include <QSlider>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "prefs/axcv_handler.h"
#include "prefs/defaults_controls.h"
#include "prefs/prefs_controller.h"
#include "prefs/vl_pref_view.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

using test::pressKey;

const char* const kIdentifiers[] = {kKeyCycleAppForward,       kKeyCycleAppBackward,       kKeyCycleWindowForward,
                                    kKeyCycleWindowBackward,   kKeyCycleAppWindowForward, kKeyCycleAppWindowBackward,
                                    kKeyUniversalBackward};

class PrefsControllerTest : public test::PrefsTest {
protected:
    PrefsControllerTest() { prefs.setApplicationDelegate(&delegate); }
    ~PrefsControllerTest() override { DBPrefsWindowController::releaseSharedPrefsWindowController(); }

    // Records a combination in a recorder as the user would.
    void record(SRRecorderControl* recorder, int key, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(recorder, Qt::LeftButton, {}, QPoint(30, recorder->height() / 2));
        pressKey(recorder, key, modifiers);
    }
    void expectStored(const char* identifier, int64_t keyCode, int64_t modifiers) {
        const PlistValue stored = storedValue(identifier);
        ASSERT_NE(stored.asDictionary(), nullptr) << identifier;
        EXPECT_EQ(stored.asDictionary()->size(), 2u);
        EXPECT_EQ(stored["keyCode"].type(), PlistValue::Type::Integer);
        EXPECT_EQ(stored["modifiers"].type(), PlistValue::Type::Integer);
        EXPECT_EQ(stored["keyCode"].toInteger(), keyCode);
        EXPECT_EQ(stored["modifiers"].toInteger(), modifiers);
    }

    test::FakePrefsDelegate delegate;
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
};

TEST_F(PrefsControllerTest, SixPanesInOrderWithImagesAndTheirSettingsOnEveryShowing) {
    prefs.showWindow();
    EXPECT_EQ(prefs.toolbarIdentifiers(), (QStringList{"General", "Appearance", "Advanced", "Filters", "Tips", "Updates"}));
    for (QAction* item : prefs.toolbar()->actions()) EXPECT_FALSE(item->icon().isNull()) << item->text().toStdString();
    EXPECT_EQ(prefs.window()->windowTitle(), "General");
    EXPECT_TRUE(prefs.crossFade());
    EXPECT_FALSE(prefs.shiftSlowsAnimation());

    prefs.displayViewForIdentifier("Tips", false);
    prefs.setCrossFade(false);
    prefs.setShiftSlowsAnimation(true);
    prefs.window()->hide();
    prefs.showWindow();
    EXPECT_EQ(prefs.currentView(), prefs.preferencesGeneral());
    EXPECT_TRUE(prefs.crossFade());
    EXPECT_FALSE(prefs.shiftSlowsAnimation());
    EXPECT_EQ(&PrefsController::sharedPrefsWindowController(), &prefs);
}

TEST_F(PrefsControllerTest, RecordersArePreparedFromTheDelegate) {
    prefs.window();
    const auto controls = prefs.keyControlsDictionary();
    ASSERT_EQ(controls.size(), 7u);
    for (const char* id : kIdentifiers) {
        SRRecorderControl* recorder = controls.at(id);
        EXPECT_TRUE(recorder->canCaptureGlobalHotKeys()) << id;
        const bool universal = std::string(id) == kKeyUniversalBackward;
        EXPECT_EQ(recorder->allowsKeyOnly(), universal) << id;
        EXPECT_FALSE(recorder->escapeKeysRecord()) << id;
        EXPECT_EQ(recorder->delegate(), &prefs);
    }
    EXPECT_EQ(prefs.keyCycleAppForward()->displayedText(), "Super+Tab");
    EXPECT_EQ(prefs.keyCycleWindowBackward()->displayedText(), "Alt+Shift+Tab");
    EXPECT_EQ(prefs.keyCycleAppWindowForward()->displayedText(), "Alt+`");
    EXPECT_EQ(prefs.keyUniversalBackward()->keyCombo().code, -1);

    // A later change of the combinations shows at the next showing.
    delegate.keys[kKeyCycleAppForward] = SGKeyCombo::keyComboWithKeyCode(vk::Q, 4096);
    prefs.showWindow();
    EXPECT_EQ(prefs.keyCycleAppForward()->displayedText(), "Ctrl+Q");
}

TEST_F(PrefsControllerTest, ACombinationShownByAnotherRecorderIsRefused) {
    prefs.showWindow();
    // Super+Tab belongs to KeyCycleAppForward.
    record(prefs.keyCycleWindowForward(), Qt::Key_Tab, Qt::MetaModifier);
    EXPECT_FALSE(prefs.keyCycleWindowForward()->refusalMessage().isEmpty());
    EXPECT_EQ(prefs.keyCycleWindowForward()->displayedText(), prefs.keyCycleWindowForward()->refusalMessage());
    EXPECT_TRUE(storedValue(kKeyCycleWindowForward).isNone());
    EXPECT_TRUE(delegate.updateStateSenders.empty());
    prefs.keyCycleWindowForward()->cancelRecording();

    // Recording it again in its own recorder is fine.
    record(prefs.keyCycleAppForward(), Qt::Key_Tab, Qt::MetaModifier);
    expectStored(kKeyCycleAppForward, vk::Tab, 2048);

    // The same key with other modifiers is another combination.
    record(prefs.keyCycleWindowForward(), Qt::Key_Tab, Qt::MetaModifier | Qt::ControlModifier);
    expectStored(kKeyCycleWindowForward, vk::Tab, 2048 | 4096);
}

TEST_F(PrefsControllerTest, AChangeIsStoredSynchronizedAndAnnounced) {
    prefs.showWindow();
    record(prefs.keyCycleAppWindowBackward(), Qt::Key_AsciiTilde, Qt::AltModifier | Qt::ShiftModifier);
    expectStored(kKeyCycleAppWindowBackward, vk::Grave, 768);
    ASSERT_EQ(delegate.updateStateSenders.size(), 1u);
    EXPECT_EQ(delegate.updateStateSenders[0], &prefs);
    // The hot keys stepped aside only while recording.
    EXPECT_EQ(delegate.recordingFlags, (std::vector<bool>{true, false}));
}

TEST_F(PrefsControllerTest, OnlyTheUniversalBackwardRecorderTakesABareKey) {
    prefs.showWindow();
    record(prefs.keyUniversalBackward(), Qt::Key_QuoteLeft, Qt::NoModifier);
    expectStored(kKeyUniversalBackward, vk::Grave, 0);

    for (const char* id : kIdentifiers) {
        if (std::string(id) == kKeyUniversalBackward) continue;
        record(prefs.recorder(id), Qt::Key_B, Qt::NoModifier);
        EXPECT_TRUE(prefs.recorder(id)->isRecording()) << id;
        prefs.recorder(id)->cancelRecording();
        EXPECT_TRUE(storedValue(id).isNone()) << id;
    }
}

TEST_F(PrefsControllerTest, ClearingStoresTheClearCombinationAndTwoClearedRecordersCoexist) {
    prefs.showWindow();
    record(prefs.keyCycleAppBackward(), Qt::Key_Backspace, Qt::NoModifier);
    expectStored(kKeyCycleAppBackward, -1, -1);
    record(prefs.keyCycleWindowBackward(), Qt::Key_Backspace, Qt::NoModifier);
    expectStored(kKeyCycleWindowBackward, -1, -1);
    EXPECT_FALSE(prefs.shortcutRecorderIsKeyCodeAndFlagsTaken(prefs.keyCycleAppForward(), -1, 0, nullptr));
    EXPECT_EQ(delegate.updateStateSenders.size(), 2u);
}

TEST_F(PrefsControllerTest, EverySettingControlWritesItsKeyAndAnnouncesItself) {
    prefs.showWindow();
    const char* const checkBoxes[] = {"startAtLogin",     "hideIcon",          "monoIcon",          "showAppBadges",
                                      "showSpaceBadges",  "ignoreMinimized",   "ignoreHidden",      "ignoreNoWindowApps",
                                      "ignoreHiddenApps", "fullScreenWindows", "fullScreenApps",    "shouldReOpen",
                                      "appShowAppName",   "windowShowAppName", "windowShowWindowName"};
    for (const char* key : checkBoxes) {
        auto* box = qobject_cast<QCheckBox*>(prefs.settingControl(key));
        ASSERT_NE(box, nullptr) << key;
        delegate.updateStateSenders.clear();
        box->click();
        EXPECT_EQ(storedValue(key).type(), PlistValue::Type::Integer) << key;
        EXPECT_EQ(storedValue(key).toInteger(), 1) << key;
        EXPECT_EQ(delegate.updateStateSenders, std::vector<QObject*>{box}) << key;
        box->click();
        EXPECT_EQ(storedValue(key).toInteger(), 0) << key;
    }
    EXPECT_EQ(qobject_cast<QCheckBox*>(prefs.settingControl("hideIcon"))->text(), "Hide the menu icon");

    auto* delay = qobject_cast<DefaultsSlider*>(prefs.settingControl("displayDelay"));
    ASSERT_NE(delay, nullptr);
    delegate.updateStateSenders.clear();
    delay->slider()->setValue(7);
    EXPECT_FLOAT_EQ(float(storedValue("displayDelay").toReal()), 0.7f);
    EXPECT_EQ(prefs.displayDelayLabel()->text(), "0.7");
    EXPECT_EQ(delegate.updateStateSenders, std::vector<QObject*>{delay});

    delegate.updateStateSenders.clear();
    for (const char* key : {"windowWidth", "windowHeight"}) {
        auto* size = qobject_cast<DefaultsSlider*>(prefs.settingControl(key));
        ASSERT_NE(size, nullptr) << key;
        size->setValueByUser(512);
        EXPECT_FLOAT_EQ(float(storedValue(key).toReal()), 512.0f) << key;
        EXPECT_EQ(delegate.updateWindowSizeSenders.back(), size) << key;
        // Typing into the field does the same.
        size->valueField()->setText("600");
        emit size->valueField()->editingFinished();
        EXPECT_FLOAT_EQ(float(storedValue(key).toReal()), 600.0f) << key;
    }
    EXPECT_EQ(delegate.updateWindowSizeSenders.size(), 4u);
    EXPECT_TRUE(delegate.updateStateSenders.empty());
}

TEST_F(PrefsControllerTest, ControlsShowTheStoredSettingsWithoutWritingThem) {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setInteger("ignoreHidden", 1);
    defaults.setFloat("displayDelay", 0.2f);
    defaults.setFloat("windowWidth", 637);
    prefs.showWindow();
    EXPECT_TRUE(qobject_cast<QCheckBox*>(prefs.settingControl("ignoreHidden"))->isChecked());
    EXPECT_FALSE(qobject_cast<QCheckBox*>(prefs.settingControl("monoIcon"))->isChecked());
    EXPECT_EQ(prefs.displayDelayLabel()->text(), "0.2");
    EXPECT_EQ(qobject_cast<DefaultsSlider*>(prefs.settingControl("windowWidth"))->valueField()->text(), "637");
    EXPECT_TRUE(delegate.updateStateSenders.empty());
    EXPECT_TRUE(delegate.updateWindowSizeSenders.empty());
    EXPECT_TRUE(storedValue("ignoreHidden").isNone());  // nothing was written out
}

TEST_F(PrefsControllerTest, CtrlWAloneHidesThePreferencesWindow) {
    prefs.showWindow();
    QWidget* pane = prefs.preferencesAdvanced();
    prefs.displayViewForIdentifier("Advanced", false);

    pressKey(pane, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(prefs.window()->isVisible());

    // From a check box inside the pane the key reaches the pane too.
    pressKey(prefs.settingControl("ignoreMinimized"), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(prefs.window()->isVisible());
}

TEST_F(PrefsControllerTest, HidingTheWindowWhileRecordingGivesTheHotKeysBack) {
    prefs.showWindow();
    QTest::mouseClick(prefs.keyCycleAppForward(), Qt::LeftButton, {}, QPoint(30, 10));
    ASSERT_EQ(delegate.recordingFlags, std::vector<bool>{true});
    prefs.window()->hide();
    EXPECT_EQ(delegate.recordingFlags, (std::vector<bool>{true, false}));
    EXPECT_FALSE(prefs.keyCycleAppForward()->isRecording());
}

TEST(AXCVHandler, CtrlKeysCutCopyPasteSelectAllAndUndo) {
    QWidget window;
    auto* field = new AXCVHandler(&window);
    window.show();
    field->setFocus();
    QApplication::clipboard()->setText("pasted");

    pressKey(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "pasted");
    pressKey(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), "pasted");
    pressKey(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "pasted");
    pressKey(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "pasted");
    field->setText("copied");
    field->selectAll();
    pressKey(field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "copied");

    QKeyEvent redo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(field->performKeyEquivalent(&redo));
}

} // namespace
} // namespace velora
