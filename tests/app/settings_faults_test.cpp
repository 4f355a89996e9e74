// Settings the program cannot trust: it starts with usable values and keeps what it does not
// rewrite. Settings it cannot save: the user is told in an alert of its own, once.
#include <cmath>
#include <fstream>
#include <limits>

#include "app_fixture.h"
#include "hotkeys/sg_key_combo.h"
#include "support/file_text.h"

namespace velora::test {
namespace {

using SettingsFaults = AppTest;

TEST_F(SettingsFaults, WrongTypesAndAbsurdNumbersGiveUsableValues) {
    writeFile(dir / "defaults.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
              "<key>firstRun2</key><true/><key>displayDelayDefault</key><true/>"
              "<key>showNamesDefault</key><true/>"
              "<key>windowWidth</key><real>1e9</real><key>windowHeight</key><real>-40</real>"
              "<key>displayDelay</key><real>1e30</real>"
              "<key>ignoreMinimized</key><string>1</string>"
              "<key>shouldReOpen</key><integer>4294967296</integer>"
              "<key>filters</key><array><integer>3</integer></array>"
              "<key>KeyCycleAppForward</key><string>Tab</string>"
              "<key>KeyCycleWindowForward</key><dict><key>keyCode</key><integer>9223372036854775807</integer>"
              "<key>modifiers</key><integer>-9223372036854775808</integer></dict>"
              "<key>somebodyElse</key><string>kept</string></dict></plist>\n");
    UserDefaults::resetStandard(dir / "defaults.plist");
    ASSERT_TRUE(startController());
    VLHandler& e = VLHandler::sharedHandler();
    EXPECT_FLOAT_EQ(e.width(), 16384.0f);
    EXPECT_FLOAT_EQ(e.height(), 437.0f);
    EXPECT_FLOAT_EQ(e.displayDelay(), 60.0f);
    EXPECT_EQ(e.ignoreMinimized(), 1);
    EXPECT_EQ(e.shouldReOpen(), 1) << "2^32 is on, not 0 cut to 32 bits";
    EXPECT_TRUE(e.filters()->count("All applications") == 1 || e.filters()->empty());
    // A string is no combination; huge and negative numbers make one that is no hot key.
    EXPECT_FALSE(isRegistered("KeyCycleAppForward") &&
                 SGKeyCombo(defaults().objectForKey("KeyCycleAppForward")).isValidHotKeyCombo());
    EXPECT_FALSE(SGKeyCombo(defaults().objectForKey("KeyCycleWindowForward")).isValidHotKeyCombo());

    // The next save keeps what the program did not change.
    defaults().setInteger("hideIcon", 0);
    EXPECT_TRUE(defaults().synchronize());
    UserDefaults reread(dir / "defaults.plist");
    EXPECT_EQ(reread.stringForKey("somebodyElse"), "kept");
    EXPECT_EQ(reread.objectForKey("filters").type(), PlistValue::Type::Array);

    // Not-a-number and infinite values fall back to the defaults.
    defaults().setObject("displayDelay", PlistValue(std::numeric_limits<double>::quiet_NaN()));
    defaults().setObject("windowWidth", PlistValue(std::numeric_limits<double>::infinity()));
    settingsChanged();
    EXPECT_FLOAT_EQ(e.displayDelay(), 0.2f);
    EXPECT_FLOAT_EQ(e.width(), 637.0f);
}

TEST_F(SettingsFaults, AnUnusableSettingsFolderAtTheFirstStartIsToldOnce) {
    // The folder is a plain file: nothing can be made inside it, for root either.
    const std::filesystem::path blocker = dir / "velora";
    std::ofstream(blocker) << "someone else's file";
    UserDefaults::resetStandard(blocker / "defaults.plist");
    ASSERT_TRUE(startController());
    defaults().setInteger("more", 1);
    EXPECT_FALSE(defaults().synchronize());
    sim.pump();
    EXPECT_EQ(alertsTitled("Velora could not save the settings").size(), 1u);
    EXPECT_EQ(readFile(blocker), "someone else's file");
    EXPECT_TRUE(defaults().boolForKey("firstRun2")) << "the first-run settings hold while the program runs";
}

} // namespace
} // namespace velora::test
