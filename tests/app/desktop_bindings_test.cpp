// Freeing shortcuts in the window managers' own settings: exactly the bindings of the held
// shortcuts change, through the commands and files each manager documents, and the record
// puts back what was there, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/desktop_bindings.h"
#include "support/file_text.h"
#include "support/temp_dir.h"

namespace velora::test {
namespace {

const Shortcut kAltTab{kEventFlagCommand, 48};
const Shortcut kAltShiftTab{kEventFlagCommand | kEventFlagShift, 48};

class DesktopBindingsTest : public ::testing::Test {
  protected:
    BindingEnvironment env() {
        BindingEnvironment e;
        e.home = QString::fromStdString((dir.path() / "home").string());
        e.systemRoot = QString::fromStdString((dir.path() / "root").string());
        e.run = [this](const QStringList& argv) -> std::optional<CommandResult> {
            ran.push_back(argv.join(QLatin1Char('|')).toStdString());
            const std::string joined = argv.join(QLatin1Char('|')).toStdString();
            auto answer = answers.find(joined);
            return CommandResult{failing.count(joined) ? 1 : 0, answer == answers.end()
                                                                    ? QString()
                                                                    : QString::fromStdString(answer->second)};
        };
        e.signal = [](int64_t, int) { return true; };
        return e;
    }
    std::filesystem::path home() const { return dir.path() / "home"; }

    TempDir dir;
    std::map<std::string, std::string> answers; // argv joined by '|' -> standard output
    std::set<std::string> failing;              // argv joined by '|' that exit with 1
    std::vector<std::string> ran;
};

TEST_F(DesktopBindingsTest, SettingsStoresLoseOnlyTheHeldShortcutAndGetTheirOldValuesBack) {
    // mutter: a list keeps its other entries; keys that do not bind the shortcut are untouched.
    const std::string get = "gsettings|get|org.gnome.desktop.wm.keybindings|";
    answers[get + "switch-applications"] = "['<Super>Tab', '<Alt>Tab']\n";
    answers[get + "switch-windows"] = "@as []\n";
    answers[get + "switch-applications-backward"] = "['<Shift><Alt>Tab']\n";
    BindingRelease mutter(WindowManagerKind::Mutter, {"GNOME Shell", 0, {}, {}}, {kAltTab, kAltShiftTab},
                          env());
    ran.clear();
    auto record = mutter.apply(nullptr);
    ASSERT_TRUE(record);
    std::vector<std::string> sets;
    for (const auto& r : ran)
        if (r.rfind("gsettings|set", 0) == 0) sets.push_back(r);
    EXPECT_EQ(sets,
              (std::vector<std::string>{
                  "gsettings|set|org.gnome.desktop.wm.keybindings|switch-applications|['<Super>Tab']",
                  "gsettings|set|org.gnome.desktop.wm.keybindings|switch-applications-backward|@as []"}));
    ran.clear();
    EXPECT_TRUE(restoreBindings(*record, {"GNOME Shell", 0, {}, {}}, env(), nullptr));
    EXPECT_EQ(
        ran,
        (std::vector<std::string>{
            "gsettings|set|org.gnome.desktop.wm.keybindings|switch-applications-backward|['<Shift><Alt>Tab']",
            "gsettings|set|org.gnome.desktop.wm.keybindings|switch-applications|['<Super>Tab', "
            "'<Alt>Tab']"}));

    // One change of several fails: the record holds those made before it, and only those
    // are put back.
    failing.insert("gsettings|set|org.gnome.desktop.wm.keybindings|switch-applications-backward|@as []");
    QString error;
    record = mutter.apply(&error);
    ASSERT_TRUE(record);
    EXPECT_TRUE(error.contains(QLatin1String("switch-applications-backward"))) << error.toStdString();
    ran.clear();
    EXPECT_TRUE(restoreBindings(*record, {"GNOME Shell", 0, {}, {}}, env(), nullptr));
    EXPECT_EQ(ran,
              (std::vector<std::string>{"gsettings|set|org.gnome.desktop.wm.keybindings|switch-applications|"
                                        "['<Super>Tab', '<Alt>Tab']"}));

    // xfwm4: the custom property is removed, and set again with its old value.
    const std::string channel = "xfconf-query|-c|xfce4-keyboard-shortcuts|";
    answers[channel + "-l"] = "/commands/custom/<Alt>F2\n/xfwm4/custom/<Alt>Tab\n/xfwm4/custom/<Super>Tab\n";
    answers[channel + "-p|/xfwm4/custom/<Alt>Tab"] = "cycle_windows_key\n";
    ran.clear();
    record = BindingRelease(WindowManagerKind::Xfwm4, {"Xfwm4", 0, {}, {}}, {kAltTab}, env()).apply(nullptr);
    ASSERT_TRUE(record);
    EXPECT_EQ(ran.back(), channel + "-p|/xfwm4/custom/<Alt>Tab|-r");
    ran.clear();
    EXPECT_TRUE(restoreBindings(*record, {"Xfwm4", 0, {}, {}}, env(), nullptr));
    EXPECT_EQ(ran, (std::vector<std::string>{channel +
                                             "-p|/xfwm4/custom/<Alt>Tab|-n|-t|string|-s|cycle_windows_key"}));
}

TEST_F(DesktopBindingsTest, ConfigurationFilesChangeOnlyTheNamedPartsAndRestoreByteForByte) {
    // openbox: the user has no rc.xml yet; the system's is copied without the two keybinds.
    const std::string stock = "<openbox_config>\n<keyboard>\n  <keybind key=\"C-A-Left\">\n    <action "
                              "name=\"GoToDesktop\"/>\n  </keybind>\n"
                              "  <keybind key=\"A-Tab\">\n    <action name=\"NextWindow\"/>\n  </keybind>\n"
                              "  <keybind key=\"A-S-Tab\">\n    <action name=\"PreviousWindow\"/>\n  "
                              "</keybind>\n</keyboard>\n</openbox_config>\n";
    writeFile(dir.path() / "root/etc/xdg/openbox/rc.xml", stock);
    BindingRelease openbox(WindowManagerKind::Openbox, {"Openbox", 0, {}, {}}, {kAltTab, kAltShiftTab},
                           env());
    auto record = openbox.apply(nullptr);
    ASSERT_TRUE(record);
    EXPECT_EQ(
        readFile(home() / ".config/openbox/rc.xml"),
        "<openbox_config>\n<keyboard>\n  <keybind key=\"C-A-Left\">\n    <action name=\"GoToDesktop\"/>\n"
        "  </keybind>\n</keyboard>\n</openbox_config>\n");
    EXPECT_EQ(ran.back(), "openbox|--reconfigure");
    EXPECT_TRUE(restoreBindings(*record, {"Openbox", 0, {}, {}}, env(), nullptr));
    EXPECT_EQ(readFile(home() / ".config/openbox/rc.xml"), stock);

    // openbox names the file it reads: a file of the user's is edited where it is.
    const std::string session =
        "<keyboard>\n  <keybind key=\"A-Tab\"><action name=\"NextWindow\"/></keybind>\n</keyboard>\n";
    writeFile(home() / ".config/openbox/session-rc.xml", session);
    KeyHolder named{"Openbox", 0, (home() / ".config/openbox/session-rc.xml").string(), {}};
    record = BindingRelease(WindowManagerKind::Openbox, named, {kAltTab}, env()).apply(nullptr);
    ASSERT_TRUE(record);
    EXPECT_EQ(readFile(home() / ".config/openbox/session-rc.xml"), "<keyboard>\n</keyboard>\n");
    EXPECT_TRUE(restoreBindings(*record, named, env(), nullptr));
    EXPECT_EQ(readFile(home() / ".config/openbox/session-rc.xml"), session);

    // icewm: a commented-out setting is replaced in place; other settings stay.
    const std::string prefs = "TaskBarClockLeds=0\n# QuickSwitch=1 # Alt+Tab\nShowTaskBar=1";
    writeFile(home() / ".icewm/preferences", prefs);
    record =
        BindingRelease(WindowManagerKind::IceWM, {"IceWM 3.3", 0, {}, {}}, {kAltTab}, env()).apply(nullptr);
    ASSERT_TRUE(record);
    EXPECT_EQ(readFile(home() / ".icewm/preferences"), "TaskBarClockLeds=0\nQuickSwitch=0\nShowTaskBar=1");
    EXPECT_EQ(ran.back(), "icewm|-r");
    // A setting the user adds meanwhile survives the undo.
    writeFile(home() / ".icewm/preferences",
              readFile(home() / ".icewm/preferences") + "\nTaskBarAutoHide=1\n");
    // Undone under another manager: icewm's file goes back; neither manager is told to reload.
    ran.clear();
    EXPECT_TRUE(restoreBindings(*record, {"Openbox", 0, {}, {}}, env(), nullptr));
    EXPECT_EQ(readFile(home() / ".icewm/preferences"), prefs + "\nTaskBarAutoHide=1\n");
    EXPECT_TRUE(ran.empty()) << ran.front();

    // Nothing to change: no button, no write.
    EXPECT_TRUE(
        BindingRelease(WindowManagerKind::IceWM, {"IceWM", 0, {}, {}}, {{kEventFlagOption, 48}}, env())
            .description()
            .isEmpty());
}

} // namespace
} // namespace velora::test
