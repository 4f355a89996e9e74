#include "platform/linux/xdg_autostart.h"

#include <gtest/gtest.h>

#include "linux_test_support.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

using test::readFile;
using test::writeFile;

class XdgAutostartTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path config = dir / "config", autostart = config / "autostart", bin = dir / "bin";
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", config.c_str()};
    test::ScopedEnv path{"PATH", bin.c_str()};
    XdgAutostart items;

    std::optional<std::string> resolvedOf(const std::string& id) {
        for (auto& item : items.snapshot())
            if (item.id == id) return item.resolved;
        ADD_FAILURE() << "no item " << id;
        return std::nullopt;
    }

    std::vector<std::string> ids() {
        std::vector<std::string> out;
        for (auto& item : items.snapshot()) out.push_back(item.id);
        return out;
    }
};

TEST_F(XdgAutostartTest, InsertWritesOneEnabledEntryThatResolvesToTheProgram) {
    EXPECT_TRUE(items.snapshot().empty()); // no folder yet
    ASSERT_TRUE(items.insert("/opt/velora/bin/velora"));
    EXPECT_EQ(readFile(autostart / "velora.desktop"),
              "[Desktop Entry]\nType=Application\nName=Velora\nExec=\"/opt/velora/bin/velora\"\n"
              "X-GNOME-Autostart-enabled=true\n");
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(autostart / "velora.desktop").permissions(), perms(0644));
    EXPECT_EQ(resolvedOf("velora.desktop"), "/opt/velora/bin/velora");
    // Again, also under another spelling of the path: still one entry, no temporary files.
    ASSERT_TRUE(items.insert("/opt/velora/bin/velora"));
    ASSERT_TRUE(items.insert("/opt/velora/bin/../bin/velora"));
    EXPECT_EQ(ids(), std::vector<std::string>{"velora.desktop"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(autostart), {}), 1);
}

TEST_F(XdgAutostartTest, HostilePathsRoundTripThroughTheEscaping) {
    for (std::string program : {"/a b/\"double\"/'single'/back\\slash/$HOME/`id`/100%/x;y|z&<>*?#()~",
                                "/new\nline/tab\tand\rreturn", "/ leading/space "}) {
        ASSERT_TRUE(items.insert(program)) << program;
        EXPECT_EQ(resolvedOf("velora.desktop"), program);
        ASSERT_TRUE(items.remove("velora.desktop"));
    }
    // In the file, the Exec quoting sits below the string escapes: "\\$" stands for '$'.
    ASSERT_TRUE(items.insert("/opt/my $app/\"v\"/%"));
    EXPECT_NE(readFile(autostart / "velora.desktop").find("\nExec=\"/opt/my \\\\$app/\\\\\"v\\\\\"/%%\"\n"),
              std::string::npos)
        << readFile(autostart / "velora.desktop");
    ASSERT_TRUE(items.remove("velora.desktop"));
    EXPECT_FALSE(items.insert(std::string("/not/utf-8/\xff\xfe")));
    EXPECT_FALSE(items.insert(""));
    EXPECT_TRUE(items.snapshot().empty());
}

// Entries of other programs keep their names and are never overwritten nor removed.
TEST_F(XdgAutostartTest, ForeignEntriesKeepTheirNamesAndAreNeverOverwritten) {
    std::string foreign = "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other --flag\n";
    writeFile(autostart / "velora.desktop", foreign);
    writeFile(autostart / "velora-2.desktop", "[Desktop Entry]\nName=Broken\n");          // no Exec
    writeFile(autostart / "velora-4.desktop", "[Desktop Entry]\nExec=/usr/bin/velora\n"); // ours
    ASSERT_TRUE(items.insert("/opt/new/velora"));
    EXPECT_EQ(readFile(autostart / "velora.desktop"), foreign);
    EXPECT_EQ(resolvedOf("velora-3.desktop"), "/opt/new/velora");
    // An entry of ours elsewhere in the sequence is rewritten in place.
    ASSERT_TRUE(items.insert("/usr/bin/velora"));
    EXPECT_EQ(ids(), (std::vector<std::string>{"velora-2.desktop", "velora-3.desktop", "velora-4.desktop",
                                               "velora.desktop"}));
    EXPECT_NE(readFile(autostart / "velora-4.desktop").find("X-GNOME-Autostart-enabled=true"),
              std::string::npos);
    // Removing deletes exactly the named entry, and nothing outside the folder.
    writeFile(config / "outside.desktop", "[Desktop Entry]\n");
    for (const char* wrong : {"missing.desktop", "../outside.desktop", ".desktop", ""})
        EXPECT_FALSE(items.remove(wrong)) << wrong;
    EXPECT_TRUE(items.remove("velora-4.desktop"));
    EXPECT_EQ(ids(), (std::vector<std::string>{"velora-2.desktop", "velora-3.desktop", "velora.desktop"}));
    EXPECT_TRUE(std::filesystem::exists(config / "outside.desktop"));
}

TEST_F(XdgAutostartTest, SnapshotResolvesTheFirstExecWordOrNothing) {
    writeFile(bin / "tool", "");
    std::filesystem::permissions(bin / "tool", std::filesystem::perms::owner_all);
    writeFile(bin / "plain-file", "");
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"Exec=tool --start %u", (bin / "tool").string()}, {"Exec=\"/opt/my app/run\" -x", "/opt/my app/run"},
        {"Exec=plain-file", std::nullopt},                  {"Exec=nowhere-to-be-found", std::nullopt},
        {"Exec=\"/opt/unterminated", std::nullopt},         {"Name=Nothing", std::nullopt},
        {"Exec=bin/tool", std::nullopt}};
    for (size_t i = 0; i < std::size(cases); ++i)
        writeFile(autostart / ("case" + std::to_string(i) + ".desktop"),
                  "[Desktop Entry]\n" + cases[i].first + "\n");
    writeFile(autostart / "other-group.desktop", "[Other]\nExec=/usr/bin/x\n");
    writeFile(autostart / "notes.txt", "Exec=/usr/bin/x\n");
    std::filesystem::create_directories(autostart / "folder.desktop");

    EXPECT_EQ(ids().size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(resolvedOf("case" + std::to_string(i) + ".desktop"), cases[i].second) << cases[i].first;
    EXPECT_FALSE(resolvedOf("other-group.desktop"));
}

} // namespace
} // namespace velora
