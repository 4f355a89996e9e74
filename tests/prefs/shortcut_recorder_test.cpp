// The shortcut recorder and the key names and codes it works with.
#include <QTest>
#include <gtest/gtest.h>

#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "prefs/recorder_keys.h"
#include "prefs/shortcut_recorder.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

TEST(RecorderKeys, QtKeysBecomeVirtualKeysByTheirUSCharacter) {
    const struct {
        int qtKey;
        bool keypad;
        int64_t key;
    } cases[] = {
        {Qt::Key_Backtab, false, vk::Tab}, // what Shift+Tab arrives as
        {Qt::Key_Exclam, false, vk::Key1}, // Shift+1
        {Qt::Key_7, true, vk::Keypad7},
        {Qt::Key_MediaPlay, false, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(virtualKeyForQtKey(c.qtKey, c.keypad), c.key) << std::hex << c.qtKey;
}

class Recorder : public SRRecorderDelegate {
  public:
    bool shortcutRecorderIsKeyCodeAndFlagsTaken(SRRecorderControl*, int64_t, uint64_t, QString*) override {
        ++asked;
        return false;
    }
    void shortcutRecorderKeyComboDidChange(SRRecorderControl*, KeyComboPair combo) override {
        changes.push_back(combo);
    }
    void shortcutIsRecording(bool) override {}

    int asked = 0;
    std::vector<KeyComboPair> changes;
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

TEST_F(ShortcutRecorderTest, EscapeCancelsUnlessEscapeKeysRecord) {
    control.setAllowsKeyOnly(true, false);
    control.setKeyCombo({kEventFlagCommand, vk::Grave});
    clickField();
    QTest::keyClick(&control, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(control.isRecording());
    EXPECT_TRUE(delegate.changes.empty());
    EXPECT_EQ(control.keyCombo(), (KeyComboPair{kEventFlagCommand, vk::Grave}));

    control.setAllowsKeyOnly(true, true);
    clickField();
    QTest::keyClick(&control, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_EQ(delegate.changes, (std::vector<KeyComboPair>{{0, vk::Escape}}));
}

TEST_F(ShortcutRecorderTest, TheCrossClearsWithTheMouseAskingNoOne) {
    control.setKeyCombo({kEventFlagCommand, vk::Tab});
    QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(control.width() - 14, 14));
    EXPECT_FALSE(control.isRecording());
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0].code, -1);
    EXPECT_EQ(control.displayedText(), "Click to record");
    EXPECT_EQ(delegate.asked, 0);
}

} // namespace
} // namespace velora
