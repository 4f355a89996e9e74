#include "platform/linux/file_viewer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <chrono>
#include <memory>

#include "linux_test_support.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

using Args = std::vector<std::string>;

// A session bus of the test program's own (one per process: Qt keeps the first connection).
QDBusConnection privateSessionBus() {
    static test::TempDir dir;
    static const std::filesystem::path socket = dir / "bus";
    static const std::unique_ptr<test::ChildProcess> daemon = [] {
        const std::string address = "unix:path=" + socket.string();
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        return test::ChildProcess::start(
            {"dbus-daemon", "--config-file=" VELORA_TEST_BUS_CONFIG, "--nofork", "--address=" + address});
    }();
    if (daemon) test::waitFor([] { return std::filesystem::exists(socket); }, std::chrono::seconds(10));
    return QDBusConnection::sessionBus();
}

// The file manager's side of the request.
class StandInFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    QStringList shown;
  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// xdg-open and gio are stand-ins that record how they were called.
class FileViewerTest : public ::testing::Test {
  protected:
    FileViewerTest() {
        std::filesystem::create_directories(records);
        std::filesystem::create_directories(bin);
        for (auto name : {"xdg-open", "gio"})
            std::filesystem::create_symlink(VELORA_ARGV_RECORDER, bin / name);
    }

    // The arguments the stand-in was called with, once it has run.
    Args argsOf(const std::string& program) {
        auto run = test::recordedRun(records, program);
        return run ? run->args : Args{"<never ran>"};
    }

    QDBusConnection bus = privateSessionBus(); // before PATH changes
    test::TempDir dir;
    std::filesystem::path records = dir / "records", bin = dir / "bin";
    test::ScopedEnv recorderDir{"VELORA_RECORDER_DIR", records.c_str()};
    test::ScopedEnv path{"PATH", bin.c_str()};
    StandInFileManager fileManager;
};

// The file manager over D-Bus, asked from a thread of its own, with the path as an encoded
// URI; the containing folder when none answers.
TEST_F(FileViewerTest, RevealAsksTheFileManagerElseOpensTheFolder) {
    ASSERT_TRUE(bus.isConnected()) << "no private session bus (dbus-daemon)";
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                   QDBusConnection::ExportAllSlots) &&
                bus.registerService(service));
    EXPECT_FALSE(revealInFileViewer(""));
    ASSERT_TRUE(revealInFileViewer("/srv/some dir/100%\xc3\xa9?#1.txt"));
    // The bus is served until the stand-in has been asked.
    test::waitFor([&] { return !fileManager.shown.isEmpty(); }, std::chrono::seconds(10),
                  [] { QCoreApplication::processEvents(); });
    EXPECT_EQ(fileManager.shown,
              QStringList{QStringLiteral("file:///srv/some%20dir/100%25%C3%A9%3F%231.txt")});
    EXPECT_FALSE(std::filesystem::exists(records / "xdg-open.args"));

    bus.unregisterService(service);
    ASSERT_TRUE(revealInFileViewerAndWait("/srv/some dir/file.txt"));
    EXPECT_EQ(argsOf("xdg-open"), Args{"/srv/some dir"});
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

#include "file_viewer_test.moc"
