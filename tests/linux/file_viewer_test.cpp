#include "platform/linux/file_viewer.h"

#include <gtest/gtest.h>

#include "linux_test_support.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

using Args = std::vector<std::string>;

// dbus-send, xdg-open and gio are stand-ins that record how they were called.
class FileViewerTest : public ::testing::Test {
protected:
    FileViewerTest() {
        std::filesystem::create_directories(records);
        std::filesystem::create_directories(bin);
        for (auto name : {"dbus-send", "xdg-open", "gio"})
            std::filesystem::create_symlink(test::recorderPath(), bin / name);
    }

    // The arguments the stand-in was called with, once it has run.
    Args argsOf(const std::string& program) {
        auto run = test::recordedRun(records, program);
        return run ? run->args : Args{"<never ran>"};
    }

    test::TempDir dir;
    std::filesystem::path records = dir / "records", bin = dir / "bin";
    test::ScopedEnv recorderDir{"VELORA_RECORDER_DIR", records.c_str()};
    test::ScopedEnv path{"PATH", bin.c_str()};
    test::ScopedEnv fail{"VELORA_RECORDER_FAIL", nullptr};
};

Args showItemsCall(const std::string& uri) {
    return {"--session", "--print-reply", "--reply-timeout=5000", "--dest=org.freedesktop.FileManager1",
            "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1.ShowItems", "array:string:" + uri,
            "string:"};
}

// The file manager over D-Bus, with the path as an encoded URI; the containing folder when
// it does not answer.
TEST_F(FileViewerTest, RevealAsksTheFileManagerElseOpensTheFolder) {
    ASSERT_TRUE(revealInFileViewerAndWait("/srv/some dir/100%\xc3\xa9,\"q\"?#1.txt"));
    EXPECT_EQ(argsOf("dbus-send"),
              showItemsCall("file:///srv/some%20dir/100%25%C3%A9%2C%22q%22%3F%231.txt"));
    EXPECT_FALSE(std::filesystem::exists(records / "xdg-open.args"));
    test::ScopedEnv failing("VELORA_RECORDER_FAIL", "dbus-send");
    ASSERT_TRUE(revealInFileViewerAndWait("/srv/some dir/file.txt"));
    EXPECT_EQ(argsOf("xdg-open"), Args{"/srv/some dir"});
}

// Without waiting, on a thread of its own (so no environment changes follow in this test).
TEST_F(FileViewerTest, RevealReturnsAtOnceAndStillReachesTheFileManager) {
    EXPECT_FALSE(revealInFileViewer(""));
    ASSERT_TRUE(revealInFileViewer("/srv/file.txt"));
    EXPECT_EQ(argsOf("dbus-send"), showItemsCall("file:///srv/file.txt"));
}

// A relative name that looks like an option reaches the opener as an absolute path.
TEST_F(FileViewerTest, OpenFallsBackToGioWithAnAbsolutePath) {
    std::filesystem::remove(bin / "xdg-open");
    ASSERT_TRUE(openWithDefaultApplication("-rf"));
    EXPECT_EQ(argsOf("gio"), (Args{"open", (std::filesystem::current_path() / "-rf").string()}));
    std::filesystem::remove(bin / "gio");
    EXPECT_FALSE(openWithDefaultApplication("/srv/a b.txt"));
}

} // namespace
} // namespace velora
