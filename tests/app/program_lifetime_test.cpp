// How a run of the program begins and ends. A second start while one runs reaches the first,
// which re-opens, and ends; a socket left behind by a program that died does not stop a new
// start. A termination signal ends the event loop with status 0, as "Quit" does, and more
// than one signal on the way is still one ending.
#include <gmock/gmock.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/instance_socket.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
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

// The socket's other request: a trigger from a compositor binding, answered with "ok" or the
// reason it was refused; a line that is no request gets no answer. The client side is the
// trigger's own, without Qt.
TEST(SingleInstance, ATriggerIsAnsweredWithTheHandlersVerdict) {
    test::TempDir dir;
    const std::string path = (dir / "velora-trigger").string();
    SingleInstance running(QString::fromStdString(path));
    std::vector<std::string> names;
    ASSERT_TRUE(running.listen([] {},
                               [&names](const std::string& name) {
                                   names.push_back(name);
                                   return name == "windows" ? std::string() : std::string("not that one");
                               }));
    const auto ask = [&path](const std::string& request) {
        std::optional<InstanceReply> reply;
        std::atomic<bool> done{false};
        std::thread client([&] {
            reply = askRunningInstance(path, request, 3000);
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        client.join();
        return reply ? reply->answer : std::string("(nobody listens)");
    };
    EXPECT_EQ(ask("trigger windows"), "ok");
    EXPECT_EQ(ask("trigger sideways"), "error not that one");
    EXPECT_EQ(ask(std::string(300, 'x')), "") << "an overlong line is no request: no answer";
    EXPECT_EQ(names, (std::vector<std::string>{"windows", "sideways"}));
    EXPECT_FALSE(askRunningInstance((dir / "nobody").string(), "trigger windows", 100));
}

TEST(SingleInstance, TheSocketIsNamedByUserAndDisplayWithPlainCharactersOnly) {
    EXPECT_THAT(instanceSocketPath("wayland-/odd name:1"),
                testing::EndsWith("/velora-" + std::to_string(::getuid()) + "-wayland__odd_name_1"));
}

TEST(TerminationSignals, EachEndsTheEventLoopCleanly) {
    quitOnTerminationSignals();
    quitOnTerminationSignals(); // a second call changes nothing
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        QTimer::singleShot(0, [sig] {
            std::raise(sig);
            std::raise(sig);
        });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
        EXPECT_EQ(QCoreApplication::exec(), 0) << "signal " << sig;
    }
}

} // namespace
} // namespace velora
