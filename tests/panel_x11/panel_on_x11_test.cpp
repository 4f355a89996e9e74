// The switch panel on a real X desktop: an override-redirect window outside the window
// manager's client list (so that the manager never moves, decorates or hides it, on a change
// of desktop neither) that takes no activation when shown or clicked. (The end-to-end suite
// shows it over real clients, with its screenshot.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "../panel_view/fake_flow_data.h"
#include "panel/cover_flow_loader.h"
#include "support/child_process.h"
#include "support/wait.h"
#include "support/x11/x_display.h"

namespace velora {
namespace {

using namespace velora::test;

// Processes events until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int msec = 5000) {
    return test::waitFor(condition, std::chrono::milliseconds(msec),
                         [] { QCoreApplication::processEvents(); });
}

class PanelOnX11 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) return;
        static int argc = 1;
        static char name[] = "velora_panel_x11_tests";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }

    void SetUp() override {
        if (!app) GTEST_SKIP() << "no X display";
        ASSERT_TRUE(x.ok());
        notes = std::make_unique<QWidget>();
        notes->setWindowTitle(QStringLiteral("Notes"));
        notes->setGeometry(90, 90, 400, 300);
        notes->show();
        ASSERT_TRUE(waitFor([&] { return notes->windowHandle() && notes->windowHandle()->isExposed(); }));
        // Asked as a pager would, again until it holds: a manager may refuse an application's
        // own request while another program's window has the focus.
        const std::string notesId = std::to_string(notes->winId());
        ASSERT_TRUE(waitFor(
            [&] {
                if (x.activeWindow() == notes->winId()) return true;
                runToEnd({"xdotool", "windowactivate", notesId});
                return waitFor([&] { return x.activeWindow() == notes->winId(); }, 2000);
            },
            30000))
            << "the manager activates Notes";

        outlets = loadCoverFlow();
        outlets.browserView->setDataSource(&data);
        outlets.browserView->setDelegate(&data);
        outlets.browserView->setSelectedIndex(1);
        outlets.window->setFrame(Rect{0, 0, 637, 437}, true);
        outlets.window->centerOnScreen(0);
        outlets.window->makeKeyAndOrderFront();
        panelId = xcb_window_t(outlets.window->winId());
        ASSERT_TRUE(waitFor([&] { return x.isViewable(panelId); }));
        // Exposed and laid out: a click lands on the cell it aims at.
        ASSERT_TRUE(waitFor([&] {
            const QWindow* handle = outlets.window->windowHandle();
            return handle && handle->isExposed() && !outlets.browserView->cellRect(2).isEmpty();
        }));
    }

    void TearDown() override {
        if (outlets.window) outlets.window->orderOut();
        delete outlets.window;
    }

    static QApplication* app;
    XDisplay x;
    std::unique_ptr<QWidget> notes;
    FakeFlowData data{4};
    CoverFlowOutlets outlets; // deleted in TearDown, before the window below it
    xcb_window_t panelId = 0;
};

QApplication* PanelOnX11::app = nullptr;

TEST_F(PanelOnX11, StaysOutOfTheWindowManagersWay) {
    const xcb_window_t notesId = xcb_window_t(notes->winId());
    EXPECT_TRUE(x.isOverrideRedirect(panelId));
    const std::vector<xcb_window_t> clients = x.clientList();
    EXPECT_NE(std::find(clients.begin(), clients.end(), notesId), clients.end())
        << "a managed window is listed";
    EXPECT_EQ(std::find(clients.begin(), clients.end(), panelId), clients.end());
    EXPECT_EQ(x.activeWindow(), notesId) << "showing took no activation";
    EXPECT_EQ(QGuiApplication::focusWindow(), notes->windowHandle());

    // A real click through the X server selects the cell and still activates nothing.
    const QPoint target =
        outlets.browserView->mapToGlobal(outlets.browserView->cellRect(2).center()).toPoint();
    EXPECT_TRUE(runToEnd(
        {"xdotool", "mousemove", std::to_string(target.x()), std::to_string(target.y()), "click", "1"}));
    EXPECT_TRUE(waitFor([&] { return outlets.browserView->selectedIndex() == 2; }));
    // The click has been handled: a focus request of its own would have been sent by now.
    x.sync();
    EXPECT_EQ(QGuiApplication::focusWindow(), notes->windowHandle()) << "clicking took the focus";
    EXPECT_EQ(x.activeWindow(), notesId) << "clicking took no activation";
}

} // namespace
} // namespace velora
