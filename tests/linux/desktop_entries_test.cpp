#include "platform/linux/desktop_entries.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "linux_test_support.h"
#include "platform/linux/app_identity.h"
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
};

// Windows are matched by their startup class, the menu entry before NoDisplay helpers of the
// same class, and a startup class matching the instance before an id matching it.
TEST_F(DesktopEntriesTest, EarlierDirectoriesWinHiddenDeletesTheIdAndWindowsMatchByClassThenId) {
    writeFile(home / "editor.desktop",
              "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Der\\sBearbeiter\n"
              "Exec=\"/opt/the editor/bin\" %F\r\nExec=second\nStartupWMClass=EditorMain\n"
              "[Desktop Action Other]\nName=Not this one\nExec=other\n");
    writeFile(home / "shared.desktop", app("FromHome"));
    writeFile(first / "shared.desktop", app("FromFirst"));
    writeFile(second / "kde/sub/konsole.desktop", app("Konsole"));
    writeFile(first / "kde-sub-konsole.desktop", app("FlatKonsole", "StartupWMClass=shared\n"));
    writeFile(home / "gone.desktop", app("Gone", "Hidden=true\n"));
    writeFile(second / "gone.desktop", app("StillInstalled"));
    writeFile(first / "a-helper.desktop", app("Helper", "NoDisplay=true\nStartupWMClass=EditorMain\n"));

    auto& all = DesktopEntries::shared();
    all.rescan();
    auto editor = all.forId("editor");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->name, "Der Bearbeiter");
    EXPECT_EQ(editor->exec, "\"/opt/the editor/bin\" %F");
    EXPECT_EQ(all.forId("shared.desktop")->name, "FromHome");
    EXPECT_EQ(all.forId("kde-sub-konsole.desktop")->name, "FlatKonsole");
    std::vector<std::string> ids;
    for (auto& entry : all.all())
        ids.push_back(entry.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"a-helper.desktop", "editor.desktop", "kde-sub-konsole.desktop",
                                             "shared.desktop"}));

    EXPECT_EQ(all.forWMClass("editor", "EditorMain")->id, "editor.desktop");
    EXPECT_EQ(all.forWMClass("shared", "Unknown")->id, "kde-sub-konsole.desktop");
    EXPECT_EQ(all.forWMClass("x", "Shared")->id, "shared.desktop");
    EXPECT_FALSE(all.forWMClass("", ""));
}

// The engine and the main thread may be the first to ask at the same time.
TEST_F(DesktopEntriesTest, TheIndexIsBuiltOnceWhenManyThreadsAskFirst) {
    for (int i = 0; i < 20; ++i)
        writeFile(first / ("app" + std::to_string(i) + ".desktop"), app("A"));
    std::atomic<int> missing{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                if (!DesktopEntries::shared().forId("app" + std::to_string(i)) ||
                    DesktopEntries::shared().all().size() != 20)
                    ++missing;
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(missing, 0);
}

// An application installed while velora runs is known at its next lookup, also in a sub-folder,
// and its file is the one the index read.
TEST_F(DesktopEntriesTest, AnEntryAddedLaterIsFoundByItsFile) {
    writeFile(first / "editor.desktop", app("Editor"));
    writeFile(second / "kde/other.desktop", app("Other"));
    // Folders changed long ago, so that only the change below can tell the index it is stale.
    for (const auto& folder : {first, second, second / "kde"})
        std::filesystem::last_write_time(folder, std::filesystem::file_time_type::clock::now() -
                                                     std::chrono::hours(1));
    EXPECT_EQ(identifyApplication("editor", "Editor").bundlePath, (first / "editor.desktop").string());
    EXPECT_EQ(identifyApplication("viewer", "kde-viewer").name, "kde-viewer");

    writeFile(second / "kde/viewer.desktop", app("Viewer"));
    const AppIdentity viewer = identifyApplication("viewer", "kde-viewer");
    EXPECT_EQ(viewer.name, "Viewer");
    EXPECT_EQ(viewer.bundlePath, (second / "kde/viewer.desktop").string());
}

} // namespace
} // namespace velora
