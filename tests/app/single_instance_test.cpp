// A second start of the program while one runs: it reaches the first, which re-opens, and
// it ends; a socket left behind by a program that died does not stop a new start.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "app/single_instance.h"
#include "support/temp_dir.h"

namespace velora {
namespace {

TEST(SingleInstance, ASocketLeftByAProgramThatDiedIsTakenOverThenEachLaterStartHandsOver) {
    test::TempDir dir;
    const std::string path = (dir / "velora-stale").string();
    // Bound and closed without listening: what a killed program leaves on the disk.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    const QString name = QString::fromStdString(path);
    // No time-out: a wait on the dead socket would hang the test.
    EXPECT_FALSE(SingleInstance(name).notifyRunningInstance(-1));
    SingleInstance fresh(name);
    int reopens = 0;
    ASSERT_TRUE(fresh.listen([&] { ++reopens; }));
    // A later start, from a thread of its own as it would be from a process of its own, while
    // this thread runs the first program's event loop.
    for (int start = 0; start < 2; ++start) {
        std::atomic<int> reached{-1};
        std::thread later([&] { reached = SingleInstance(name).notifyRunningInstance(3000); });
        while (reached < 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        later.join();
        QCoreApplication::processEvents();
        EXPECT_EQ(reached, 1);
    }
    EXPECT_EQ(reopens, 2);
}

} // namespace
} // namespace velora
