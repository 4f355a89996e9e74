// Pictures of every pane for the documentation: set VELORA_SCREENSHOT_DIR to the folder that
// receives prefs-<pane>.png and prefs-general-niri.png (docs/images in the repository). Without
// it the test only checks that every pane draws with a real font.
#include <QFontInfo>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QToolBar>
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"
#include "prefs/prefs_controller.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

class PrefsScreenshotTest : public test::PrefsTest {};

TEST_F(PrefsScreenshotTest, EveryPaneDraws) {
    test::FakePrefsDelegate delegate;
    UserDefaults& defaults = UserDefaults::standard();
    for (const char* key :
         {"startAtLogin", "showAppBadges", "appShowAppName", "windowShowAppName", "windowShowWindowName"})
        defaults.setInteger(key, 1);
    defaults.setFloat("windowWidth", 637);
    defaults.setFloat("windowHeight", 437);
    defaults.setFloat("displayDelay", 0.2f);
    addApplication("org.mozilla.firefox", "Firefox");
    addApplication("org.gnome.Terminal", "Terminal");
    VLSettings::shared().setFilters(
        {{"All applications", 2}, {"org.gnome.Terminal", 0}, {"org.mozilla.firefox", 1}});

    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    prefs.setApplicationDelegate(&delegate);
    prefs.showWindow();
    EXPECT_FALSE(QFontInfo(prefs.window()->font()).family().isEmpty());

    const QString folder = qEnvironmentVariable("VELORA_SCREENSHOT_DIR");
    prefs.window()->move(40, 60);
    for (const QString& pane : prefs.toolbarIdentifiers()) {
        // Each pane fits the window exactly, whose top edge stays where it was.
        prefs.displayViewForIdentifier(pane, false);
        EXPECT_EQ(prefs.window()->pos(), QPoint(40, 60)) << pane.toStdString();
        EXPECT_EQ(prefs.contentSubview()->size(), prefs.viewForIdentifier(pane)->size())
            << pane.toStdString();
        const QImage shot = prefs.window()->grab().toImage();
        EXPECT_GT(shot.height(), prefs.toolbar()->height()) << pane.toStdString();
        if (!folder.isEmpty()) {
            EXPECT_TRUE(shot.save(folder + "/prefs-" + pane.toLower() + ".png")) << pane.toStdString();
        }
    }

    // The General pane on a compositor whose configuration binds the keys (niri's lines).
    const char* const lines[][3] = {
        {kKeyCycleAppForward, "Super+Tab", "applications"},
        {kKeyCycleAppBackward, "Super+Shift+Tab", "applications-backward"},
        {kKeyCycleWindowForward, "Alt+Tab", "windows"},
        {kKeyCycleWindowBackward, "Alt+Shift+Tab", "windows-backward"},
        {kKeyCycleAppWindowForward, "Alt+grave", "application-windows"},
        {kKeyCycleAppWindowBackward, "Alt+Shift+grave", "application-windows-backward"},
    };
    for (auto [identifier, keys, trigger] : lines)
        delegate.configLines[identifier] = {
            "niri", "the binds { } section of ~/.config/niri/config.kdl",
            std::string(keys) + " repeat=false { spawn \"velora\" \"--trigger\" \"" + trigger + "\"; }"};
    prefs.window()->hide();
    prefs.showWindow();
    if (!folder.isEmpty()) {
        EXPECT_TRUE(prefs.window()->grab().save(folder + "/prefs-general-niri.png"));
    }
    prefs.setApplicationDelegate(nullptr);
}

} // namespace
} // namespace velora
