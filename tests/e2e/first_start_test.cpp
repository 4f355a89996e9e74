// The first start of the program in a fresh home: the settings file, the login entry (valid to
// desktop-file-validate), the six cycle keys taken from the desktop, and a second start
// reaching the running one.
#include <sys/wait.h>

#include "desktop_session.h"
#include "settings/plist_value.h"
#include "support/file_text.h"

namespace velora::e2e {
namespace {

class FirstStart : public DesktopSession {};

TEST_F(FirstStart, TakesTheSixCycleKeysWritesTheSettingsAndTheLoginEntryAndASecondStartReachesIt) {
    ASSERT_EQ(heldCycleKeys(), 0u) << "cycle keys are taken already";

    ASSERT_TRUE(startVelora(std::nullopt));

    EXPECT_TRUE(waitFor([&] { return heldCycleKeys() == 6; }))
        << heldCycleKeys() << " of the six cycle keys held";

    // The settings are written out with the first run marked, so the welcome is not shown again.
    std::optional<PlistValue> settings;
    EXPECT_TRUE(waitFor([&] {
        settings = PlistValue::fromXml(test::readFile(settingsFile()));
        return settings && (*settings)["firstRun2"].toBool();
    })) << "the settings file is missing, incomplete or unreadable";

    // "Start at login" is ticked by the first run: an autostart entry starting this program.
    const auto entry = home() / ".config" / "autostart" / "velora.desktop";
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(entry); })) << "no autostart entry";
    const std::string text = test::readFile(entry);
    EXPECT_NE(text.find(std::filesystem::path(VELORA_PROGRAM).filename().string(), text.find("Exec=")),
              std::string::npos)
        << text;
    // The desktop's own checker accepts it, without a warning.
    {
        ChildProcess validate({"desktop-file-validate", entry.string()}, {}, home() / "validate.log");
        ASSERT_TRUE(validate.waitForExit(kLongWait));
        EXPECT_TRUE(WIFEXITED(validate.status()) && WEXITSTATUS(validate.status()) == 0) << validate.status();
        EXPECT_EQ(test::readFile(home() / "validate.log"), "") << text;
    }

    // A second start reaches the running one and ends.
    ASSERT_TRUE(veloraWindows().empty());
    startASecondTime();
    // Without a system tray the settings are reached this way only, so the running one shows
    // them; with a tray (fluxbox has one) its status icon is the way, and it stays quiet.
    if (!x_->hasSystemTray()) {
        EXPECT_TRUE(waitFor([&] { return !veloraWindows().empty(); }))
            << "the running one shows no preferences";
    }
}

} // namespace
} // namespace velora::e2e
