#include "platform/linux/xdg_autostart.h"

#include <gtest/gtest.h>

#include <map>

#include "linux_test_support.h"
#include "settings/user_defaults.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

using test::readFile;
using test::writeFile;

class XdgAutostartTest : public ::testing::Test {
  protected:
    using Entries = std::map<std::string, std::optional<std::string>>;

    // Each entry's id and the program it resolves to.
    Entries entries() {
        Entries out;
        for (auto& item : items.snapshot())
            out[item.id] = item.resolved;
        return out;
    }

    test::TempDir dir;
    std::filesystem::path config = dir / "config", autostart = config / "autostart", bin = dir / "bin";
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", config.c_str()};
    test::ScopedEnv path{"PATH", bin.c_str()};
    XdgAutostart items;
};

// Again under another spelling of the path: still one entry, no temporary files.
TEST_F(XdgAutostartTest, InsertsOneEntryAndHostilePathsRoundTripThroughTheEscaping) {
    EXPECT_TRUE(entries().empty()); // no folder yet
    ASSERT_TRUE(items.insert("/opt/velora/bin/velora"));
    ASSERT_TRUE(items.insert("/opt/velora/bin/../bin/velora"));
    EXPECT_EQ(entries(), (Entries{{"velora.desktop", "/opt/velora/bin/velora"}}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(autostart), {}), 1);
    ASSERT_TRUE(items.remove("velora.desktop"));

    const std::string program =
        "/a b/\"double\"/'single'/back\\slash/$HOME/`id`/100%/x;y|z&<>*?#()~/new\nline\t\r";
    ASSERT_TRUE(items.insert(program));
    EXPECT_EQ(entries(), (Entries{{"velora.desktop", program}}));
    ASSERT_TRUE(items.remove("velora.desktop"));
    // In the file, the Exec quoting sits below the string escapes: "\\$" stands for '$'.
    ASSERT_TRUE(items.insert("/opt/my $app/\"v\"/%"));
    EXPECT_NE(readFile(autostart / "velora.desktop").find("\nExec=\"/opt/my \\\\$app/\\\\\"v\\\\\"/%%\"\n"),
              std::string::npos)
        << readFile(autostart / "velora.desktop");
    ASSERT_TRUE(items.remove("velora.desktop"));
    EXPECT_FALSE(items.insert(std::string("/not/utf-8/\xff\xfe")));
    EXPECT_TRUE(entries().empty());
}

// A snapshot resolves an entry's first Exec word, through PATH.
TEST_F(XdgAutostartTest, ForeignEntriesKeepTheirNamesAndAreNeverOverwritten) {
    writeFile(bin / "tool", "");
    std::filesystem::permissions(bin / "tool", std::filesystem::perms::owner_all);
    std::string foreign = "[Desktop Entry]\nType=Application\nName=Other\nExec=tool --flag %u\n";
    writeFile(autostart / "velora.desktop", foreign);
    writeFile(autostart / "velora-2.desktop", "[Desktop Entry]\nName=Broken\n"); // no Exec
    writeFile(autostart / "velora-4.desktop",                                    // ours, switched off
              "[Desktop Entry]\nExec=/usr/bin/velora\nX-GNOME-Autostart-enabled=false\n");
    ASSERT_TRUE(items.insert("/opt/new/velora"));
    EXPECT_EQ(readFile(autostart / "velora.desktop"), foreign);
    Entries all{{"velora-2.desktop", std::nullopt},
                {"velora-3.desktop", "/opt/new/velora"},
                {"velora-4.desktop", "/usr/bin/velora"},
                {"velora.desktop", (bin / "tool").string()}};
    EXPECT_EQ(entries(), all);
    // An entry of ours elsewhere in the sequence is rewritten in place.
    ASSERT_TRUE(items.insert("/usr/bin/velora"));
    EXPECT_EQ(readFile(autostart / "velora-4.desktop").find("enabled=false"), std::string::npos);
    EXPECT_EQ(entries(), all);
    // Removing deletes exactly the named entry, and nothing outside the folder.
    writeFile(config / "outside.desktop", "[Desktop Entry]\n");
    EXPECT_FALSE(items.remove("../outside.desktop"));
    EXPECT_TRUE(items.remove("velora-4.desktop"));
    all.erase("velora-4.desktop");
    EXPECT_EQ(entries(), all);
    EXPECT_TRUE(std::filesystem::exists(config / "outside.desktop"));
}

// The settings file and the login entry follow one rule for the home: a relative HOME or
// XDG_CONFIG_HOME counts for neither, so both land in the same absolute config folder.
TEST(OneHome, TheSettingsFileAndTheLoginEntryShareTheConfigFolder) {
    test::ScopedEnv home{"HOME", "relative/home"};
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", "relative/config"};
    const std::filesystem::path config = XdgAutostart::directory().parent_path();
    EXPECT_TRUE(config.is_absolute()) << config;
    EXPECT_EQ(UserDefaults::defaultLocation(), config / "velora" / "defaults.plist");
}

} // namespace
} // namespace velora
