#include "platform/linux/desktop_file.h"

#include <gtest/gtest.h>

#include "platform/linux/desktop_exec.h"

namespace velora {
namespace {

using Words = std::vector<std::string>;

TEST(DesktopFileTest, ReadsUnescapedKeysOfTheirOwnGroupOnly) {
    auto file = DesktopFile::parse("Stray=before any group\n# a comment\n   # an indented comment\n\n"
                                   "[Desktop Entry]\r\nName = Spaced Out\nExec=first\nExec=second\n"
                                   "not a key line\n"
                                   "[Desktop Action New]\nName=Action name\nIcon=action-icon\n"
                                   "[Desktop Entry]\nIcon=entry-icon\n"
                                   "A=\\sleading and a\\ttab\\nnew line\\rreturn\n"
                                   "B=back\\\\slash \\$kept \\; too\nC=trailing\\\nD=\\\\s is not a space\n");
    const std::pair<const char*, const char*> entry[] = {
        {"Name", "Spaced Out"},
        {"Exec", "first"},
        {"Icon", "entry-icon"},
        {"A", " leading and a\ttab\nnew line\rreturn"},
        {"B", "back\\slash \\$kept \\; too"},
        {"C", "trailing\\"},
        {"D", "\\s is not a space"}};
    for (const auto& [key, value] : entry) EXPECT_EQ(file.value("Desktop Entry", key), value) << key;
    EXPECT_EQ(file.value("Desktop Action New", "Name"), "Action name");
    EXPECT_FALSE(file.value("Desktop Entry", "Stray"));
    EXPECT_FALSE(file.hasGroup("Missing"));
}

TEST(DesktopFileTest, PicksTheBestLocalisedValue) {
    auto file = DesktopFile::parse("[G]\nName=Files\nName[de]=Dateien\nName[de_AT]=Dateien (AT)\n"
                                   "Name[sr@latin]=Datoteke\n");
    const std::pair<const char*, const char*> cases[] = {
        {"de_AT.UTF-8", "Dateien (AT)"}, {"de_CH.UTF-8", "Dateien"}, {"sr_RS@latin", "Datoteke"},
        {"sr_RS", "Files"},              {"C", "Files"},             {"", "Files"}};
    for (const auto& [locale, name] : cases) EXPECT_EQ(file.localeValue("G", "Name", locale), name) << locale;
}

// Exec lines as other programs write them; the round trip of our own lies with the autostart
// entries.
TEST(DesktopExecTest, SplitsWordsAndRemovesQuoting) {
    EXPECT_EQ(splitExec("  prog  --flag %U "), (Words{"prog", "--flag", "%U"}));
    EXPECT_EQ(splitExec("\"/opt/my app/bin\" \"a \\\"b\\\" \\$c \\`d\\` \\\\e\""),
              (Words{"/opt/my app/bin", "a \"b\" $c `d` \\e"}));
    EXPECT_EQ(splitExec("pre\"quoted part\"post 100%% \"50%%\""),
              (Words{"prequoted partpost", "100%", "50%"}));
    EXPECT_EQ(splitExec("\"\" x"), (Words{"", "x"}));
    EXPECT_EQ(splitExec(""), Words{});
    EXPECT_FALSE(splitExec("\"never closed"));
}

} // namespace
} // namespace velora
