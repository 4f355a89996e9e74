#pragma once
// A generic toolbar preferences window: one checkable toolbar action per pane (icon with its
// label under it), the window sized to fit the selected pane with its top edge kept in place,
// and a cross-fade between panes. It knows nothing of the system's settings: a subclass
// overrides setupToolbar() and adds its panes there with addView().
//
// - One shared instance per process: sharedPrefsWindowController<T>() creates it as a T on the
//   first call; later calls return that instance.
// - The window is created on first use: loadInterface() makes the subclass's views (the
//   interface named by nibName()), then awakeFromNib() and windowDidLoad() run.
// - showWindow() refills the pane lists from setupToolbar() on every showing and starts on the
//   first pane, without animation, centred on the screen.
// - Programming errors (a missing pane view, a setupToolbar() that adds no pane) throw
//   std::logic_error with a fixed description. Qt does not carry exceptions through its event
//   loop, so one that escapes an event handler ends the program with that description.
// - The window cannot be resized by the user; it takes the size of the pane shown.
//
// Main thread only.

#include <QIcon>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

class QAction;
class QActionGroup;
class QParallelAnimationGroup;
class QToolBar;
class QWidget;

namespace velora {

inline constexpr const char* kPrefsToolbarIdentifier = "DBPreferencesToolbar";
inline constexpr int kCrossFadeMilliseconds = 250;
inline constexpr int kSlowCrossFadeMilliseconds = 1250;

class DBPrefsWindowController : public QObject {
    Q_OBJECT

  public:
    DBPrefsWindowController();
    ~DBPrefsWindowController() override;

    // The process's one preferences window controller, created as a T on the first call and
    // released when the application object goes away. Later calls return that instance; asking
    // for a class the instance is not is a programming error (std::logic_error).
    template <class T = DBPrefsWindowController> static T& sharedPrefsWindowController() {
        DBPrefsWindowController& shared =
            sharedInstance([] { return std::unique_ptr<DBPrefsWindowController>(new T); });
        T* typed = dynamic_cast<T*>(&shared);
        if (!typed) throw std::logic_error("The shared preferences window controller is of another class.");
        return *typed;
    }
    // Deletes the shared instance (tests run several controllers in one process).
    static void releaseSharedPrefsWindowController();
    static bool hasSharedPrefsWindowController();

    // Name of the interface whose views the window shows.
    virtual QString nibName() const { return QStringLiteral("Preferences"); }

    // The window, created (with the interface's views) on first use.
    QMainWindow* window();
    bool isWindowLoaded() const { return window_ != nullptr; }

    // Hook for the subclass: add the panes here. Does nothing by default.
    virtual void setupToolbar() {}

    // Adds a pane whose toolbar image is the resource image named like the label.
    void addView(QWidget* view, const QString& label);
    void addView(QWidget* view, const QString& label, const QIcon& image);

    // Rebuilds the panes, shows the first one without animation, centres and shows the window.
    virtual void showWindow();
    // Changes the visible pane; nothing happens when it is the one shown already.
    void displayViewForIdentifier(const QString& identifier, bool animate);
    // The action of every toolbar item.
    void toggleActivePreferenceView(QAction* item);

    // The window geometry (client area, toolbar included) that fits the view: same left and
    // top edges, the view's width, the toolbar's height plus the view's height.
    QRect frameForView(QWidget* view);

    bool crossFade() const { return crossFade_; }
    void setCrossFade(bool on) { crossFade_ = on; }
    bool shiftSlowsAnimation() const { return shiftSlowsAnimation_; }
    void setShiftSlowsAnimation(bool on) { shiftSlowsAnimation_ = on; }

    // Parent for the subclass's pane views while they are not shown; the controller deletes it,
    // and every pane in it, when it goes.
    QWidget* viewShelf() const { return viewShelf_; }

    // Introspection, for the application and for tests.
    const QStringList& toolbarIdentifiers() const { return toolbarIdentifiers_; }
    std::map<QString, QAction*> getToolbarItems() const;
    QWidget* viewForIdentifier(const QString& identifier) const;
    QToolBar* toolbar() const { return toolbar_; }
    // The container of the current pane (and, during a cross-fade, of the pane going out).
    QWidget* contentSubview() const { return contentSubview_; }
    // The pane shown (the topmost one in the container), or null.
    QWidget* currentView() const;
    // The one animation object used for every cross-fade.
    QParallelAnimationGroup* viewAnimation() const { return viewAnimation_; }

  protected:
    // Makes the views of the interface named by nibName(). The subclass builds its panes here.
    virtual void loadInterface() {}
    // Runs once the interface has been made, before the window is set up.
    virtual void awakeFromNib() {}
    // Sets up the window; a subclass that overrides it calls this one first.
    virtual void windowDidLoad();
    // Whether Shift is held for the event being handled (slows the cross-fade when allowed).
    virtual bool isShiftHeld() const;

    // Cross-fades from the old pane (may be null) to the new one while the window takes the new
    // pane's size. A running cross-fade is stopped first.
    void crossFadeView(QWidget* oldView, QWidget* newView);
    // After a cross-fade: only the topmost pane stays in the container.
    void animationDidEnd();

  private:
    static DBPrefsWindowController&
    sharedInstance(const std::function<std::unique_ptr<DBPrefsWindowController>()>& make);
    void loadWindow();
    void createToolbar();
    void refillToolbar();
    void setWindowFrame(const QRect& frame);
    void removeFromContent(QWidget* view);
    int titleAndToolbarHeight();
    static QSize paneSize(QWidget* view);
    QList<QWidget*> contentViews() const;

    QStringList toolbarIdentifiers_;
    std::map<QString, QPointer<QWidget>> toolbarViews_;
    std::map<QString, QAction*> toolbarItems_;
    bool crossFade_ = true;
    bool shiftSlowsAnimation_ = true;

    QWidget* viewShelf_ = nullptr;
    QPointer<QMainWindow> window_;
    QWidget* contentSubview_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QActionGroup* toolbarGroup_ = nullptr;
    QParallelAnimationGroup* viewAnimation_ = nullptr;
    bool loadingWindow_ = false;
};

} // namespace velora
