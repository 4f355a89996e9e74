#include "platform/linux/theme_icon_slot.h"
#include "platform/linux/theme_icons.h"

#include <gtest/gtest.h>

#include <QImage>

#include <future>

#include "linux_test_support.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

void writeIcon(const std::filesystem::path& file, QRgb colour) {
    std::filesystem::create_directories(file.parent_path());
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    ASSERT_TRUE(image.save(QString::fromStdString(file.string())));
}

void writeTheme(const std::filesystem::path& dir, const std::string& name, const std::string& inherits) {
    test::writeFile(dir / "index.theme",
                    "[Icon Theme]\nName=" + name + "\nInherits=" + inherits +
                        "\nDirectories=32x32/apps\n\n[32x32/apps]\nSize=32\nType=Fixed\n");
}

QRgb colourOf(const ImageRef& image) {
    return image && !image->isEmpty() ? image->representations().back().pixel(16, 16) : 0;
}

// The theme GTK's settings name comes before hicolor, hicolor before the pixmaps folder; the
// data folders are the XDG ones. (The lookup is prepared once per process: one test.)
TEST(ThemeIcons, TheUsersThemeFirstThenHicolorThenPixmapsLookedUpOnTheMainThreadForAnyThread) {
    test::TempDir dir;
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), green = qRgb(0, 255, 0);
    const auto home = dir / "home", system = dir / "system", config = dir / "config";
    writeTheme(system / "icons/hicolor", "Hicolor", "");
    writeTheme(home / "icons/Mine", "Mine", "hicolor");
    writeIcon(system / "icons/hicolor/32x32/apps/both.png", blue);
    writeIcon(home / "icons/Mine/32x32/apps/both.png", red);
    writeIcon(system / "icons/hicolor/32x32/apps/only-hicolor.png", blue);
    writeIcon(system / "pixmaps/only-pixmap.png", green);
    writeIcon(dir / "absolute.png", green);
    test::writeFile(config / "gtk-3.0/settings.ini", "[Settings]\ngtk-icon-theme-name=Mine\n");
    test::ScopedEnv dataHome("XDG_DATA_HOME", home.c_str());
    test::ScopedEnv dataDirs("XDG_DATA_DIRS", system.c_str());
    test::ScopedEnv configHome("XDG_CONFIG_HOME", config.c_str());

    EXPECT_EQ(colourOf(themeIcon("both")), red);
    EXPECT_EQ(colourOf(themeIcon("only-hicolor")), blue);
    EXPECT_EQ(colourOf(themeIcon("only-pixmap")), green);
    EXPECT_EQ(colourOf(themeIcon((dir / "absolute.png").string())), green);
    EXPECT_EQ(themeIcon("missing"), nullptr);
    EXPECT_EQ(themeIcon("../pixmaps/only-pixmap"), nullptr);
    // Off the main thread there is no lookup at all.
    EXPECT_EQ(std::async(std::launch::async, [] { return themeIcon("both"); }).get(), nullptr);

    // An application's icon: a picture thread gets what the main thread looks up.
    ThemeIconSlot slot("both");
    auto waiting = std::async(std::launch::async, [&slot] { return slot.get(false); });
    slot.resolve();
    EXPECT_EQ(colourOf(waiting.get()), red);
}

} // namespace
} // namespace velora
