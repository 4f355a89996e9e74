// An application that does not answer reads as such within the messaging time-out.
#include <signal.h>

#include <chrono>

#include "platform/ax_names.h"
#include "support/file_text.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The state letter of /proc/<pid>/stat, after the parenthesised command name: 'T' when stopped.
char processState(pid_t pid) {
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
}

class NotAnsweringTest : public X11Test {
protected:
    AXError readTitle(const AXElement& e) {
        AXValue v;
        return desktop->accessibility().copyAttributeValue(e, ax::Title, v);
    }
};

TEST_F(NotAnsweringTest, AStoppedProcessCannotCompleteAndAnswersAgainOnceContinued) {
    ChildProcess xterm({"xterm", "-T", "velora-stopped"});
    const uint32_t window = waitForWindowOf(xterm.pid());
    ASSERT_TRUE(window);
    const AXElement element = windowElement(window);
    const AXElement application = desktop->accessibility().createApplication(xterm.pid());
    ASSERT_EQ(readTitle(element), AXError::Success);

    ASSERT_EQ(kill(xterm.pid(), SIGSTOP), 0);
    ASSERT_TRUE(eventually([&] { return processState(xterm.pid()) == 'T'; }));
    const auto start = Clock::now();
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    AXValue v;
    EXPECT_EQ(desktop->accessibility().copyAttributeValue(application, ax::Windows, v), AXError::CannotComplete);
    EXPECT_EQ(desktop->accessibility().copyAttributeValue(application, ax::FocusedWindow, v), AXError::CannotComplete);
    EXPECT_EQ(desktop->accessibility().performAction(element, ax::ActionRaise), AXError::CannotComplete);
    // Never longer than the time-out (0.2 s) per question; the bound leaves room for a slow machine.
    EXPECT_LT(secondsSince(start), 4 * 0.2 + 1.0);
    // The window server still lists it: that side does not depend on the client.
    EXPECT_TRUE(desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID));

    ASSERT_EQ(kill(xterm.pid(), SIGCONT), 0);
    EXPECT_TRUE(eventually([&] { return readTitle(element) == AXError::Success; }));
    // xterm lists no ping and closes when sent one it did not ask for: it is never pinged.
    EXPECT_FALSE(xterm.waitForExit(0.5));
}

TEST_F(NotAnsweringTest, AClientThatListsPingsIsPingedAndMustAnswerInTime) {
    FakeWindow::Options options;
    options.listsPing = true;
    FakeWindow fake(options), unlisted(FakeWindow::Options{});
    ASSERT_TRUE(waitForWindow(fake.id()) && waitForWindow(unlisted.id()));
    const AXElement element = windowElement(fake.id());
    EXPECT_EQ(readTitle(element), AXError::Success);
    EXPECT_EQ(readTitle(windowElement(unlisted.id())), AXError::Success);
    EXPECT_GT(fake.pingsSeen(), 0);
    EXPECT_EQ(unlisted.pingsSeen(), 0) << "a client that lists no ping was pinged";

    // A longer time-out for this application only, then the client stops answering.
    ASSERT_EQ(desktop->accessibility().setMessagingTimeout(desktop->accessibility().createApplication(element.pid), 0.5f),
              AXError::Success);
    fake.setAnswering(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the last answer no longer stands
    auto start = Clock::now();
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    const double waited = secondsSince(start);
    EXPECT_GE(waited, 0.45);
    EXPECT_LT(waited, 0.5 + 1.0);
    // The unanswered ping is known: the next question fails without waiting again.
    start = Clock::now();
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    EXPECT_LT(secondsSince(start), 0.45);

    fake.setAnswering(true);
    EXPECT_TRUE(eventually([&] { return readTitle(element) == AXError::Success; }));
}

} // namespace
} // namespace velora::test
