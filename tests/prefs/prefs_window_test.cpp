// The toolbar preferences window: switching panes keeps the top edge and fits each pane.
#include <QAction>
#include <QMainWindow>
#include <QParallelAnimationGroup>
#include <QToolBar>
#include <gtest/gtest.h>

#include "prefs/db_prefs_window_controller.h"

namespace velora {
namespace {

// Three panes of different sizes; "Tall" first.
class ThreePanes : public DBPrefsWindowController {
  public:
    ThreePanes() {
        for (auto [name, size] :
             {std::pair{"Tall", QSize(500, 400)}, {"Short", QSize(500, 150)}, {"Wide", QSize(700, 250)}}) {
            auto* pane = new QWidget(viewShelf());
            pane->setObjectName(QString::fromLatin1(name));
            pane->resize(size);
            panes.push_back(pane);
        }
    }
    void setupToolbar() override {
        for (QWidget* pane : panes)
            addView(pane, pane->objectName(), QIcon());
    }

    std::vector<QWidget*> panes;
};

class PrefsWindowTest : public ::testing::Test {
  protected:
    ~PrefsWindowTest() override { DBPrefsWindowController::releaseSharedPrefsWindowController(); }

    QWidget* pane(const char* name) { return c.viewForIdentifier(QString::fromLatin1(name)); }
    QList<QWidget*> content() {
        return c.contentSubview()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    }

    ThreePanes c;
};

TEST_F(PrefsWindowTest, SwitchingPanesKeepsTheTopEdgeAndFitsThePane) {
    c.showWindow();
    QMainWindow* w = c.window();
    w->move(40, 60);
    const QRect before = w->geometry();
    const int toolbarHeight = before.height() - 400;

    c.displayViewForIdentifier("Short", false);
    EXPECT_EQ(w->windowTitle(), "Short");
    EXPECT_EQ(w->geometry(), QRect(before.left(), before.top(), 500, toolbarHeight + 150));
    EXPECT_EQ(c.frameForView(pane("Wide")), QRect(before.left(), before.top(), 700, toolbarHeight + 250));

    c.displayViewForIdentifier("Wide", false);
    EXPECT_EQ(w->width(), 700);
    EXPECT_EQ(pane("Wide")->geometry(), QRect(0, 0, 700, 250));
    EXPECT_EQ(content(), QList<QWidget*>{pane("Wide")});

    // The pane shown, or an unknown one, changes nothing.
    w->setWindowTitle("changed elsewhere");
    c.toolbar()->actions()[2]->trigger();
    c.displayViewForIdentifier("Missing", true);
    EXPECT_EQ(w->windowTitle(), "changed elsewhere");
    EXPECT_EQ(c.currentView(), pane("Wide"));
    EXPECT_EQ(c.viewAnimation()->state(), QAbstractAnimation::Stopped);
}

} // namespace
} // namespace velora
