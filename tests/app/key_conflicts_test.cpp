// Hot keys another program holds, on the simulated desktop: the refused key neither fires nor
// is swallowed, the user is told once, the free button changes exactly what it says and can
// be undone, a key let go later is taken without a restart, and the recorder refuses a held
// shortcut. Set VELORA_SCREENSHOT_DIR to receive pictures of the alert and the recorder.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <csignal>
#include <fstream>

#include "app_fixture.h"
#include "prefs/shortcut_recorder.h"
#include "support/file_text.h"

namespace velora::test {
namespace {

const char* const kStockKeys = "# click on the desktop to get menus\n"
                               "OnDesktop Mouse3 :RootMenu\n"
                               "Mod1 Tab :NextWindow {groups} (workspace=[current])\n"
                               "Mod1 Shift Tab :PrevWindow {groups} (workspace=[current])\n"
                               "Mod4 Tab :NextTab\n";

class KeyConflictsTest : public AppTest {
  protected:
    KeyConflictsTest() {
        std::filesystem::create_directories(dir / "home/.fluxbox");
        std::ofstream(dir / "home/.fluxbox/keys") << kStockKeys;
        setSheetPresenterForTesting([this](QMessageBox& box) {
            // The first start's welcome is no concern here.
            if (!box.text().contains("taken by")) return;
            alerts.push_back(describe(box));
            const QString folder = qEnvironmentVariable("VELORA_SCREENSHOT_DIR");
            if (!folder.isEmpty() && alerts.size() == 1) box.grab().save(folder + "/alert-shortcut-held.png");
            keysAtAlert = readFile(dir / "home/.fluxbox/keys");
            for (QAbstractButton* button : box.buttons())
                if (pressFree && button->property("veloraAnswer").toInt() == kAlertFirstButtonReturn)
                    button->click();
        });
        sim.setKeyHolder({"Fluxbox", 4242, {}, {}});
        sim.holdKeyElsewhere(altTab);
        sim.holdKeyElsewhere(altShiftTab);
    }

    bool start() {
        controller = std::make_unique<VeloraController>();
        BindingEnvironment env;
        env.home = QString::fromStdString((dir / "home").string());
        env.run = [](const QStringList&) -> std::optional<CommandResult> { return CommandResult{0, {}}; };
        env.signal = [this](int64_t pid, int sig) {
            sent.emplace_back(pid, sig);
            return true;
        };
        controller->setBindingEnvironmentForTesting(env);
        controller->setTerminateHandler([] {});
        return controller->start() && sim.waitForTap();
    }

    // Alt is Command on X11: KeyCycleWindowForward (Alt+Tab) and KeyCycleWindowBackward.
    const InterceptedKey altTab{48, kEventFlagCommand, false};
    const InterceptedKey altShiftTab{48, kEventFlagCommand | kEventFlagShift, false};
    bool pressFree = false; // the alert's first button
    std::string keysAtAlert;
    std::vector<std::pair<int64_t, int>> sent;
};

TEST_F(KeyConflictsTest, HeldKeysAreLeftAloneToldOnceFreedOnRequestAndTakenWithoutARestart) {
    pressFree = true;
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim.pumpUntil([&] { return !alerts.empty(); }));
    EXPECT_EQ(alerts[0].title, "Alt+Shift+Tab and Alt+Tab: taken by Fluxbox");
    EXPECT_EQ(keysAtAlert, kStockKeys) << "nothing changes before the button is pressed";
    EXPECT_EQ(readFile(dir / "home/.fluxbox/keys"),
              "# click on the desktop to get menus\n"
              "OnDesktop Mouse3 :RootMenu\n"
              "#Mod1 Tab :NextWindow {groups} (workspace=[current])\n"
              "#Mod1 Shift Tab :PrevWindow {groups} (workspace=[current])\n"
              "Mod4 Tab :NextTab\n");
    EXPECT_EQ(sent, (std::vector<std::pair<int64_t, int>>{{4242, SIGUSR2}}));

    // Until the manager has read its keys again both programs would act on them: Velora neither
    // fires (a fired hot key is swallowed, as below once the key is free) nor swallows.
    EXPECT_EQ(sim.pressKey(48, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(sim.releaseKey(48, kEventFlagCommand), TapVerdict::Pass);
    EXPECT_EQ(controller->keyConflictNotes().at("KeyCycleWindowForward"), "Held by Fluxbox");

    // The manager lets go once it has read its keys again; the key is taken at once.
    sim.releaseKeyHeldElsewhere(altTab);
    sim.releaseKeyHeldElsewhere(altShiftTab);
    ASSERT_TRUE(sim.pumpUntil([&] { return controller->keyConflictNotes().empty(); }));
    EXPECT_EQ(sim.pressKey(48, kEventFlagCommand), TapVerdict::Swallow);
    sim.changeModifiers(0);

    // Undone from the preferences: the file is as it was, byte for byte, and fluxbox reloads.
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    prefs.showWindow();
    QPushButton* restore = nullptr;
    for (QPushButton* button : prefs.window()->findChildren<QPushButton*>())
        if (button->text() == "Restore the desktop's shortcuts") restore = button;
    ASSERT_TRUE(restore && restore->isVisible());
    restore->click();
    EXPECT_EQ(readFile(dir / "home/.fluxbox/keys"), kStockKeys);
    EXPECT_FALSE(restore->isVisible());
    EXPECT_EQ(sent.size(), 2u);

    // The manager holds them again (openbox lets go and takes them back at times): told once per run.
    sim.holdKeyElsewhere(altTab);
    settingsChanged();
    ASSERT_TRUE(sim.pumpUntil([&] { return !controller->keyConflictNotes().empty(); }));
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(KeyConflictsTest, RecorderShowsTheHolderAndRefusesAHeldShortcutKeepingThePreviousOne) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim.pumpUntil([&] { return !alerts.empty(); }));
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    prefs.showWindow();
    const QString folder = qEnvironmentVariable("VELORA_SCREENSHOT_DIR");
    if (!folder.isEmpty()) prefs.window()->grab().save(folder + "/prefs-shortcut-held.png");

    // Recording a shortcut another program holds (Ctrl+Q, which fluxbox does not bind):
    // refused, and the one before stays.
    SRRecorderControl* recorder = prefs.keyCycleAppForward();
    const KeyComboPair before = recorder->keyCombo();
    sim.holdKeyElsewhere({12, kEventFlagControl, false}); // Ctrl+Q, held by some program
    recorder->startRecording();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, 0, 0, 0, "q");
    QCoreApplication::sendEvent(recorder, &press);
    EXPECT_EQ(recorder->refusalMessage(), "Another program uses it") << "fluxbox binds no Ctrl+Q";
    EXPECT_EQ(recorder->keyCombo(), before);
    EXPECT_EQ(SGKeyCombo(defaults().objectForKey("KeyCycleAppForward")).keyCode(), 48)
        << "the stored one stays";
    recorder->cancelRecording();
}

TEST_F(KeyConflictsTest, KeysTheDesktopItselfRefusedAreNotedBesideTheRecorderWithoutAnAlert) {
    // sway answers a binding it cannot make with its reason; no other program holds the key.
    sim.setKeyHolder({"sway", 0, {}, "Unknown key or button 'F20'"});
    ASSERT_TRUE(start());
    ASSERT_TRUE(sim.pumpUntil([&] { return !controller->keyConflictNotes().empty(); }));
    sim.pump();
    EXPECT_TRUE(alerts.empty()) << "there is nothing to free: " << alerts[0].text;
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    prefs.showWindow();
    QLabel* note = prefs.window()->findChild<QLabel*>("conflict-KeyCycleWindowForward");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), "Refused by sway");
}

} // namespace
} // namespace velora::test
