#pragma once
// Shared pieces of the preferences tests: a fake application delegate, and a fixture with a
// fresh user defaults file, fresh settings and a simulated desktop.

#include <QObject>
#include <map>
#include <string>
#include <vector>

#include "model/vl_settings.h"
#include "platform/virtual_keys.h"
#include "prefs/db_prefs_window_controller.h"
#include "prefs/prefs_application_delegate.h"
#include "prefs/prefs_controller.h"
#include "settings/user_defaults.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace velora::test {

class FakePrefsDelegate : public PrefsApplicationDelegate {
  public:
    std::map<std::string, SGKeyCombo> keysDictionary() override { return keys; }
    void updateState(QObject* sender) override { updateStateSenders.push_back(sender); }
    void updateWindowSize(QObject* sender) override { updateWindowSizeSenders.push_back(sender); }
    void shortcutIsRecording(bool recording) override { recordingFlags.push_back(recording); }
    std::map<std::string, HotKeyConfigLine> hotKeyConfigLines() override { return configLines; }

    // The first-run combinations: Super+Tab, Alt+Tab, Alt+` and their Shift forms; no backward key.
    std::map<std::string, SGKeyCombo> keys = {
        {kKeyCycleAppForward, SGKeyCombo::keyComboWithKeyCode(vk::Tab, 2048)},
        {kKeyCycleAppBackward, SGKeyCombo::keyComboWithKeyCode(vk::Tab, 2560)},
        {kKeyCycleWindowForward, SGKeyCombo::keyComboWithKeyCode(vk::Tab, 256)},
        {kKeyCycleWindowBackward, SGKeyCombo::keyComboWithKeyCode(vk::Tab, 768)},
        {kKeyCycleAppWindowForward, SGKeyCombo::keyComboWithKeyCode(vk::Grave, 256)},
        {kKeyCycleAppWindowBackward, SGKeyCombo::keyComboWithKeyCode(vk::Grave, 768)},
        {kKeyUniversalBackward, SGKeyCombo::clearKeyCombo()},
    };
    std::map<std::string, HotKeyConfigLine> configLines;
    std::vector<QObject*> updateStateSenders;
    std::vector<QObject*> updateWindowSizeSenders;
    std::vector<bool> recordingFlags;
};

class PrefsTest : public SimTest {
  protected:
    PrefsTest() {
        UserDefaults::resetStandard(dir / "defaults.plist");
        VLSettings::shared().reset();
    }
    ~PrefsTest() override { DBPrefsWindowController::releaseSharedPrefsWindowController(); }

    void addApplication(const std::string& bundle, const std::string& name) {
        sim::ApplicationSpec app;
        app.bundleIdentifier = bundle;
        app.name = name;
        sim.addApplication(app);
    }
    // What a later process would read from the settings file.
    PlistValue storedValue(const std::string& key) const {
        return UserDefaults(dir / "defaults.plist").objectForKey(key);
    }

    TempDir dir;
};

} // namespace velora::test
