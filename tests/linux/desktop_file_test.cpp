#include "platform/linux/desktop_file.h"

#include <gtest/gtest.h>

#include "platform/linux/desktop_exec.h"

namespace velora {
namespace {

using Words = std::vector<std::string>;

TEST(DesktopFileTest, ReadsKeysOfTheirOwnGroupOnly) {
    auto file = DesktopFile::parse("Stray=before any group\n"
                                   "# a comment\n"
                                   "   # an indented comment\n"
                                   "\n"
                                   "[Desktop Entry]\r\n"
                                   "Name = Spaced Out\n"
                                   "Exec=first\n"
                                   "Exec=second\n"
                                   "not a key line\n"
                                   "[Desktop Action New]\n"
                                   "Name=Action name\n"
                                   "Icon=action-icon\n"
                                   "[Desktop Entry]\n"
                                   "Icon=entry-icon\n");
    EXPECT_EQ(file.value("Desktop Entry", "Name"), "Spaced Out");
    EXPECT_EQ(file.value("Desktop Entry", "Exec"), "first");
    EXPECT_EQ(file.value("Desktop Entry", "Icon"), "entry-icon");
    EXPECT_EQ(file.value("Desktop Action New", "Name"), "Action name");
    EXPECT_FALSE(file.value("Desktop Entry", "Stray"));
    EXPECT_FALSE(file.value("Missing", "Name"));
    EXPECT_FALSE(file.hasGroup("Missing"));
}

TEST(DesktopFileTest, UnescapesStringValues) {
    auto file = DesktopFile::parse("[G]\n"
                                   "A=\\sleading and a\\ttab\\nnew line\\rreturn\n"
                                   "B=back\\\\slash \\$kept \\; too\n"
                                   "C=trailing\\\n"
                                   "D=\\\\s is not a space\n");
    EXPECT_EQ(file.value("G", "A"), " leading and a\ttab\nnew line\rreturn");
    EXPECT_EQ(file.value("G", "B"), "back\\slash \\$kept \\; too");
    EXPECT_EQ(file.value("G", "C"), "trailing\\");
    EXPECT_EQ(file.value("G", "D"), "\\s is not a space");
}

TEST(DesktopFileTest, PicksTheBestLocalisedValue) {
    auto file = DesktopFile::parse("[G]\n"
                                   "Name=Files\n"
                                   "Name[de]=Dateien\n"
                                   "Name[de_AT]=Dateien (AT)\n"
                                   "Name[sr@latin]=Datoteke\n");
    EXPECT_EQ(file.localeValue("G", "Name", "de_AT.UTF-8"), "Dateien (AT)");
    EXPECT_EQ(file.localeValue("G", "Name", "de_CH.UTF-8"), "Dateien");
    EXPECT_EQ(file.localeValue("G", "Name", "sr_RS@latin"), "Datoteke");
    EXPECT_EQ(file.localeValue("G", "Name", "sr_RS"), "Files");
    EXPECT_EQ(file.localeValue("G", "Name", "C"), "Files");
    EXPECT_EQ(file.localeValue("G", "Name", ""), "Files");
}

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

TEST(DesktopExecTest, QuotedArgumentsSurviveTheFileAndExecLayers) {
    for (std::string arg : {"/plain/path", "/a b/\"q\"/back\\slash/$HOME/`id`/100%/'s;|&<>*?#()~",
                            "/new\nline\ttab\rreturn", " leading space", ""}) {
        std::string written = "[Desktop Entry]\nExec=" + escapeDesktopValue(quoteExecArgument(arg)) + " %f\n";
        auto exec = DesktopFile::parse(written).value("Desktop Entry", "Exec");
        ASSERT_TRUE(exec);
        EXPECT_EQ(splitExec(*exec), (Words{arg, "%f"})) << written;
    }
}

// What other readers of the file see: the quoting the format prescribes, not only text that
// our own reader happens to accept.
TEST(DesktopExecTest, QuotesEveryArgumentAndEscapesTheReservedCharacters) {
    EXPECT_EQ(quoteExecArgument("/usr/bin/velora"), "\"/usr/bin/velora\"");
    EXPECT_EQ(quoteExecArgument("/a b/$x\"y\\z`w`%"), "\"/a b/\\$x\\\"y\\\\z\\`w\\`%%\"");
    // Escaped values stay on one line.
    EXPECT_EQ(escapeDesktopValue(" a\nb\\c"), "\\sa\\nb\\\\c");
}

} // namespace
} // namespace velora
