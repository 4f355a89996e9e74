// The toolbar preferences window: panes, sizes, cross-fades and the shared instance.
#include <QAction>
#include <QGraphicsEffect>
#include <QGuiApplication>
#include <QMainWindow>
#include <QParallelAnimationGroup>
#include <QScreen>
#include <QTest>
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
        ++setups;
        for (QWidget* pane : panes)
            addView(pane, pane->objectName(), QIcon());
    }
    bool isShiftHeld() const override { return shift; }

    std::vector<QWidget*> panes;
    int setups = 0;
    bool shift = false;
};

class NoPanes : public DBPrefsWindowController {};

class PrefsWindowTest : public ::testing::Test {
  protected:
    ~PrefsWindowTest() override { DBPrefsWindowController::releaseSharedPrefsWindowController(); }

    QWidget* pane(const char* name) { return c.viewForIdentifier(QString::fromLatin1(name)); }
    // Runs the cross-fade to its end.
    void finishAnimation() { c.viewAnimation()->setCurrentTime(c.viewAnimation()->totalDuration()); }
    QList<QWidget*> content() {
        return c.contentSubview()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    }

    ThreePanes c;
};

TEST_F(PrefsWindowTest, EveryShowingRebuildsThePanesAndStartsOnTheFirstCentred) {
    c.showWindow();
    c.displayViewForIdentifier("Wide", false);
    c.window()->hide();
    c.showWindow();
    QMainWindow* w = c.window();
    EXPECT_EQ(c.setups, 2);
    EXPECT_EQ(c.toolbarIdentifiers(), (QStringList{"Tall", "Short", "Wide"}));
    EXPECT_EQ(w->windowTitle(), "Tall");
    EXPECT_EQ(content(), QList<QWidget*>{pane("Tall")});
    EXPECT_EQ(c.viewAnimation()->state(), QAbstractAnimation::Stopped);
    EXPECT_TRUE(c.toolbar()->actions()[0]->isChecked());
    EXPECT_EQ(QSize(w->width(), c.contentSubview()->height()), QSize(500, 400));
    EXPECT_EQ(w->minimumSize(), w->maximumSize()); // not resizable by the user
    const QPoint offCentre = w->frameGeometry().center() - w->screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 4);
}

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

TEST_F(PrefsWindowTest, ToolbarItemsCrossFadeAndASecondChangeLeavesOnlyTheNewestPane) {
    c.showWindow();
    const int top = c.window()->geometry().top();
    c.toolbar()->actions()[1]->trigger();
    EXPECT_EQ(c.viewAnimation()->state(), QAbstractAnimation::Running);
    EXPECT_EQ(c.viewAnimation()->duration(), 250);
    EXPECT_EQ(content().size(), 2); // both panes while fading
    EXPECT_EQ(c.window()->windowTitle(), "Short");

    c.viewAnimation()->setCurrentTime(100);
    c.displayViewForIdentifier("Wide", true);
    // The pane that was fading out is gone at once; the one that was fading in now fades out.
    EXPECT_EQ(content(), (QList<QWidget*>{pane("Short"), pane("Wide")}));
    EXPECT_EQ(c.viewAnimation()->currentTime(), 0);

    finishAnimation();
    EXPECT_EQ(content(), QList<QWidget*>{pane("Wide")});
    EXPECT_EQ(pane("Wide")->graphicsEffect(), nullptr);
    EXPECT_EQ(c.window()->width(), 700);
    EXPECT_EQ(c.contentSubview()->height(), 250);
    EXPECT_EQ(c.window()->geometry().top(), top);

    // A pane cut off mid-fade shows whole when it comes back.
    c.displayViewForIdentifier("Short", false);
    EXPECT_EQ(pane("Short")->graphicsEffect(), nullptr);
    EXPECT_TRUE(pane("Short")->isVisible());
}

TEST_F(PrefsWindowTest, ShiftSlowsTheFadeOnlyWhenAllowedAndWithoutFadeThePanesSwapAtOnce) {
    c.showWindow();
    c.shift = true;
    c.displayViewForIdentifier("Short", true);
    EXPECT_EQ(c.viewAnimation()->duration(), 1250);
    c.setShiftSlowsAnimation(false);
    c.displayViewForIdentifier("Wide", true);
    EXPECT_EQ(c.viewAnimation()->duration(), 250);
    finishAnimation();

    c.setCrossFade(false);
    c.displayViewForIdentifier("Short", true);
    EXPECT_EQ(content(), QList<QWidget*>{pane("Short")});
    EXPECT_EQ(pane("Short")->graphicsEffect(), nullptr);
    finishAnimation(); // the frame still animates to the pane's size
    EXPECT_EQ(c.contentSubview()->height(), 150);
}

TEST(PrefsWindowShared, TheSharedControllerIsMadeOnceAsTheClassAskedFor) {
    ThreePanes& first = DBPrefsWindowController::sharedPrefsWindowController<ThreePanes>();
    EXPECT_EQ(&DBPrefsWindowController::sharedPrefsWindowController<ThreePanes>(), &first);
    EXPECT_EQ(&DBPrefsWindowController::sharedPrefsWindowController(), &first);
    EXPECT_THROW(DBPrefsWindowController::sharedPrefsWindowController<NoPanes>(), std::logic_error);
    DBPrefsWindowController::releaseSharedPrefsWindowController();
    EXPECT_FALSE(DBPrefsWindowController::hasSharedPrefsWindowController());
}

} // namespace
} // namespace velora
