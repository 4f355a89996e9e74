// An application that does not answer reads as such: a stopped process at once, a client
// that lists pings once its ping has gone unanswered for the messaging time-out. The answer
// and ping periods run on the test's clock (TestMainThread::advance), not on waits.
#include <signal.h>

#include "platform/ax_names.h"
#include "platform/x11/x11_responsiveness.h"
#include "support/file_text.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

using x11::Responsiveness;

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
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    AXValue v;
    EXPECT_EQ(desktop->accessibility().copyAttributeValue(application, ax::Windows, v),
              AXError::CannotComplete);
    EXPECT_EQ(desktop->accessibility().copyAttributeValue(application, ax::FocusedWindow, v),
              AXError::CannotComplete);
    EXPECT_EQ(desktop->accessibility().performAction(element, ax::ActionRaise), AXError::CannotComplete);
    // The window server still lists it: that side does not depend on the client.
    EXPECT_TRUE(desktop->windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID));

    ASSERT_EQ(kill(xterm.pid(), SIGCONT), 0);
    EXPECT_TRUE(eventually([&] { return readTitle(element) == AXError::Success; }));
    // xterm lists no ping and closes when sent one it did not ask for: it is never pinged.
    // (It has answered since, so it has read whatever was sent to it before.)
    EXPECT_TRUE(xterm.running());
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
    ASSERT_EQ(desktop->accessibility().setMessagingTimeout(
                  desktop->accessibility().createApplication(element.pid), 0.5f),
              AXError::Success);
    fake.setAnswering(false);
    // From here the responsiveness periods pass only as the test says (a question still
    // waits for an answer in real time, up to the time-out).
    mainThread.freeze();
    mainThread.advance(Responsiveness::kAnswerStandsFor); // the last answer no longer stands
    const int pinged = fake.pingsSeen();
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    // The unanswered ping is known: once its time-out has passed, questions fail without a
    // ping of their own, until a fresh ping is due.
    mainThread.advance(0.5);
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);

    fake.setAnswering(true);
    mainThread.advance(Responsiveness::kPingAgainAfter);
    EXPECT_TRUE(eventually([&] { return readTitle(element) == AXError::Success; }));
    // The client reads its pings in order and answered the last: it has seen all of them,
    // one for the first failing question and the fresh one.
    EXPECT_EQ(fake.pingsSeen(), pinged + 2);
}

} // namespace
} // namespace velora::test
