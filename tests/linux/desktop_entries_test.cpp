#include "platform/linux/desktop_entries.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "linux_test_support.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

using test::writeFile;

std::string app(const std::string& name, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name + "\n" + extra;
}

// A data home and two data dirs, each with an "applications" folder.
class DesktopEntriesTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path home = dir / "home/applications", first = dir / "first/applications",
                          second = dir / "second/applications";
    std::string dataDirs = (dir / "first").string() + ":" + (dir / "second").string();
    test::ScopedEnv dataHome{"XDG_DATA_HOME", (dir / "home").c_str()};
    test::ScopedEnv dataDirsEnv{"XDG_DATA_DIRS", dataDirs.c_str()};
    test::ScopedEnv lcAll{"LC_ALL", nullptr};
    test::ScopedEnv lcMessages{"LC_MESSAGES", nullptr};
    test::ScopedEnv lang{"LANG", "de_DE.UTF-8"};

    DesktopEntries& entries() {
        DesktopEntries::shared().rescan();
        return DesktopEntries::shared();
    }
};

TEST_F(DesktopEntriesTest, ReadsTheMainGroupEarlierDirectoriesWinAndHiddenDeletesTheId) {
    writeFile(home / "editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\n"
                                       "Exec=\"/opt/the editor/bin\" %F\nIcon=accessories-text-editor\n"
                                       "Path=/srv/work\\sdir\nStartupWMClass=EditorMain\n"
                                       "[Desktop Action Other]\nName=Not this one\nExec=other\n");
    writeFile(home / "shared.desktop", app("FromHome"));
    writeFile(first / "shared.desktop", app("FromFirst"));
    writeFile(first / "both.desktop", app("BothFirst"));
    writeFile(second / "both.desktop", app("BothSecond"));
    writeFile(second / "only.desktop", app("OnlySecond"));
    writeFile(second / "kde/sub/konsole.desktop", app("Konsole"));
    writeFile(first / "kde-sub-konsole.desktop", app("FlatKonsole"));
    writeFile(first / "README", "not an entry");
    writeFile(home / "gone.desktop", app("Gone", "Hidden=true\n"));
    writeFile(second / "gone.desktop", app("StillInstalled"));
    writeFile(first / "helper.desktop", app("Helper", "NoDisplay=true\n"));
    writeFile(first / "link.desktop", "[Desktop Entry]\nType=Link\nName=Link\nURL=http://x\n");
    writeFile(first / "nameless.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    writeFile(first / "wrong-group.desktop", "[Something]\nType=Application\nName=X\n");

    auto& all = entries();
    // The main group's fields, the name in the user's language, the id with or without suffix.
    auto editor = all.forId("editor");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->id, "editor.desktop");
    EXPECT_EQ(editor->name, "Bearbeiter");
    EXPECT_EQ(editor->exec, "\"/opt/the editor/bin\" %F");
    EXPECT_EQ(editor->iconName, "accessories-text-editor");
    EXPECT_EQ(editor->path, "/srv/work dir");
    EXPECT_EQ(editor->startupWMClass, "EditorMain");
    EXPECT_FALSE(all.forId("other.desktop"));

    EXPECT_EQ(all.forId("shared.desktop")->name, "FromHome");
    EXPECT_EQ(all.forId("both.desktop")->name, "BothFirst");
    EXPECT_EQ(all.forId("kde-sub-konsole.desktop")->name, "FlatKonsole");
    std::vector<std::string> ids;
    for (auto& entry : all.all()) ids.push_back(entry.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"both.desktop", "editor.desktop", "helper.desktop",
                                             "kde-sub-konsole.desktop", "only.desktop", "shared.desktop"}));
    // The index holds until the next scan.
    writeFile(first / "two.desktop", app("Two"));
    EXPECT_FALSE(all.forId("two.desktop"));
    all.rescan();
    EXPECT_TRUE(all.forId("two.desktop"));
}

TEST_F(DesktopEntriesTest, MatchesWMClassByStartupClassThenById) {
    writeFile(first / "org.example.Viewer.desktop", app("Viewer"));
    writeFile(first / "xterm.desktop", app("XTerm"));
    writeFile(first / "emacs.desktop", app("Emacs", "StartupWMClass=Emacs\n"));
    writeFile(first / "emacs-helper.desktop", app("Helper", "StartupWMClass=Emacs\nNoDisplay=true\n"));
    writeFile(first / "a-emacs-helper.desktop", app("A Helper", "StartupWMClass=Emacs\nNoDisplay=true\n"));
    writeFile(first / "by-instance.desktop", app("ByInstance", "StartupWMClass=inst\n"));
    writeFile(first / "inst.desktop", app("IdOfInstance"));
    auto& all = entries();

    EXPECT_EQ(all.forWMClass("xterm", "XTerm")->id, "xterm.desktop");
    EXPECT_EQ(all.forWMClass("viewer", "org.example.viewer")->id, "org.example.Viewer.desktop");
    // The menu entry before NoDisplay helpers with the same class.
    EXPECT_EQ(all.forWMClass("emacs", "Emacs")->id, "emacs.desktop");
    // The startup class is compared exactly.
    EXPECT_FALSE(all.forWMClass("nothing", "EMACS2"));
    EXPECT_EQ(all.forWMClass("x", "emacs")->id, "emacs.desktop"); // through the id
    // A startup class matching the instance beats an id matching it.
    EXPECT_EQ(all.forWMClass("inst", "Unknown")->id, "by-instance.desktop");
    EXPECT_FALSE(all.forWMClass("", ""));
}

TEST_F(DesktopEntriesTest, QueriesAndRescansFromManyThreads) {
    for (int i = 0; i < 20; ++i) writeFile(first / ("app" + std::to_string(i) + ".desktop"), app("A"));
    auto& all = entries();
    std::atomic<int> missing{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                if (t == 0 && i % 5 == 0) all.rescan();
                if (!all.forId("app" + std::to_string(i)) || all.all().size() != 20) ++missing;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(missing, 0);
}

} // namespace
} // namespace velora
