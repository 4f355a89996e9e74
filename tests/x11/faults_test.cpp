// Faults of other programs and of the server: vanishing windows, broken titles, another
// client's server grab, a display that cannot be opened, applications that do not answer (a
// stopped process at once, a client that lists pings once its ping has gone unanswered for the
// messaging time-out; the answer and ping periods run on the test's clock,
// TestMainThread::advance, not on waits). Losing the server is tested with the program itself.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/ax_names.h"
#include "platform/x11/x11_responsiveness.h"
#include "platform/x11/x11_text.h"
#include "x11_fixture.h"

namespace velora::test {
namespace {

using FaultsTest = X11Test;

TEST_F(FaultsTest, AWindowThatVanishesGivesNeutralAnswers) {
    FakeWindow fake(FakeWindow::Options{});
    const uint32_t id = fake.id();
    ASSERT_TRUE(waitForWindow(id));
    const AXElement element = windowElement(id);
    auto& ax = desktop->accessibility();
    auto& ws = desktop->windowServer();

    // Questions from another thread while the window goes away under them.
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    std::thread asker([&] {
        for (; !stop.load(); rounds.fetch_add(1)) {
            AXValue v;
            ax.copyAttributeValue(element, ax::Position, v);
            ax.copyAttributeValue(element, ax::Children, v);
            ws.copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
            ws.captureWindow(id, {20, 20});
            Rect r;
            ws.windowBounds(id, r);
        }
    });
    EXPECT_TRUE(eventually([&] { return rounds.load() > 0; })); // asking, then the window goes
    fake.destroy();
    EXPECT_TRUE(eventually([&] {
        AXValue v;
        return ax.copyAttributeValue(element, ax::Title, v) == AXError::InvalidUIElement;
    }));
    stop.store(true);
    asker.join();

    AXValue v;
    EXPECT_EQ(ax.performAction(element, ax::ActionRaise), AXError::InvalidUIElement);
    // A window that has just gone still says it was a window, so its records can be dropped.
    ASSERT_EQ(ax.copyAttributeValue(element, ax::Role, v), AXError::Success);
    EXPECT_EQ(std::get<std::string>(v), ax::RoleWindow);
    EXPECT_TRUE(ws.captureWindow(id, {20, 20}).isNull());
    // Applications that are not (any more).
    EXPECT_TRUE(ax.createApplication(999999).isNull());
    EXPECT_EQ(ax.createObserver(999999, nullptr), nullptr);
}

TEST_F(FaultsTest, TitleChangesArriveAndHugeOrBrokenTitlesAreCutAndRepaired) {
    FakeWindow::Options options;
    options.title = "before";
    FakeWindow fake(options);
    ASSERT_TRUE(waitForWindow(fake.id()));
    const AXElement element = windowElement(fake.id());
    EXPECT_EQ(title(element), "before");
    std::string bytes;
    // Three times the limit (managers take long to draw much longer titles: fluxbox does).
    for (int i = 0; i < 4000; ++i)
        bytes += (i % 97 == 0) ? "\xFF\xC3" : "t\xC3\xA9";
    fake.setTitleBytes(bytes);
    ASSERT_TRUE(eventually([&] { return title(element).value_or("").size() > 1000; }));
    const std::string t = *title(element);
    EXPECT_LE(t.size(), x11::kMaxTextBytes);
    EXPECT_EQ(x11::repairUtf8(t), t) << "not valid UTF-8";
    EXPECT_NE(t.find("\xEF\xBF\xBD"), std::string::npos) << "invalid bytes did not become U+FFFD";
    // The window list names it alike: the switcher matches its windows by name.
    ASSERT_TRUE(listEntry(fake.id()));
    EXPECT_EQ(listEntry(fake.id())->name, t);
}

// The focused-window poll runs five times a second: it must cost no round trip, so it answers
// even while another client holds the server.
TEST_F(FaultsTest, TheFocusedWindowQueryCostsNoRoundTrip) {
    FakeWindow::Options options;
    options.listsPing = true; // could be pinged, is not pinged for this
    FakeWindow fake(options);
    ASSERT_TRUE(waitForWindow(fake.id()));
    ASSERT_TRUE(focus(fake.id()));
    mainThread.advance(x11::Responsiveness::kAnswerStandsFor); // no answer stands any more
    auto& ax = desktop->accessibility();
    xcb_grab_server(display->connection());
    display->sync();
    auto answer = std::async(std::launch::async, [&] {
        AXValue app, window;
        if (ax.copyAttributeValue(ax.createSystemWide(), ax::FocusedApplication, app) != AXError::Success)
            return AXElement{};
        if (ax.copyAttributeValue(std::get<AXElement>(app), ax::FocusedWindow, window) != AXError::Success)
            return AXElement{};
        return std::get<AXElement>(window);
    });
    // Bounded only so that a query that waits for the server cannot hang the suite.
    const bool answered = answer.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    xcb_ungrab_server(display->connection());
    display->sync();
    ASSERT_TRUE(answered) << "the focused-window query waited for the server";
    EXPECT_EQ(answer.get(), windowElement(fake.id()));
}

TEST(X11Open, ADisplayThatCannotBeOpenedGivesAMessage) {
    TestMainThread mainThread;
    std::string error;
    auto desktop = X11Desktop::open(mainThread, error, ":4999");
    EXPECT_FALSE(desktop);
    EXPECT_NE(error.find(":4999"), std::string::npos);
}

using x11::Responsiveness;

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
    int status = 0;
    ASSERT_EQ(waitpid(xterm.pid(), &status, WUNTRACED), xterm.pid());
    ASSERT_TRUE(WIFSTOPPED(status));
    EXPECT_EQ(readTitle(element), AXError::CannotComplete);
    AXValue v; // the focused-window poll's question, which never pings
    EXPECT_EQ(desktop->accessibility().copyAttributeValue(application, ax::FocusedWindow, v),
              AXError::CannotComplete);
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
    FakeWindow fake(options);
    ASSERT_TRUE(waitForWindow(fake.id()));
    const AXElement element = windowElement(fake.id());
    EXPECT_EQ(readTitle(element), AXError::Success);
    EXPECT_GT(fake.pingsSeen(), 0);

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
