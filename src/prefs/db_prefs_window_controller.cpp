#include "prefs/db_prefs_window_controller.h"

#include <QAction>
#include <QActionGroup>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QLayout>
#include <QMainWindow>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScreen>
#include <QToolBar>
#include <QVariantAnimation>
#include <mutex>

#include "prefs/named_image.h"

namespace velora {

namespace {

std::mutex sharedMutex;
// Deliberately never deleted at exit: the shared controller lives until the process ends, and
// widgets must not be deleted after the application object has gone.
DBPrefsWindowController* sharedController = nullptr;

constexpr QSize kInitialContentSize(1000, 1000);

} // namespace

DBPrefsWindowController::DBPrefsWindowController() {
    viewShelf_ = new QWidget;
    viewAnimation_ = new QParallelAnimationGroup(this);
    connect(viewAnimation_, &QAbstractAnimation::finished, this, [this] { animationDidEnd(); });
}

DBPrefsWindowController::~DBPrefsWindowController() {
    viewAnimation_->stop();
    delete window_.data();
    delete viewShelf_;
}

DBPrefsWindowController& DBPrefsWindowController::sharedInstance(
    const std::function<std::unique_ptr<DBPrefsWindowController>()>& make) {
    std::lock_guard lock(sharedMutex);
    if (!sharedController) sharedController = make().release();
    return *sharedController;
}

void DBPrefsWindowController::releaseSharedPrefsWindowController() {
    DBPrefsWindowController* doomed = nullptr;
    {
        std::lock_guard lock(sharedMutex);
        std::swap(doomed, sharedController);
    }
    delete doomed;
}

bool DBPrefsWindowController::hasSharedPrefsWindowController() {
    std::lock_guard lock(sharedMutex);
    return sharedController != nullptr;
}

QMainWindow* DBPrefsWindowController::window() {
    if (!window_ && !loadingWindow_) loadWindow();
    return window_;
}

void DBPrefsWindowController::loadWindow() {
    loadingWindow_ = true;
    loadInterface();
    awakeFromNib();
    windowDidLoad();
    loadingWindow_ = false;
}

void DBPrefsWindowController::windowDidLoad() {
    // Titled, closable, minimisable; never resized by the user (its size is the pane's).
    auto* w = new QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    w->setAttribute(Qt::WA_QuitOnClose, false);
    // No menu to hide or customise the toolbar.
    w->setContextMenuPolicy(Qt::NoContextMenu);
    contentSubview_ = new QWidget;
    contentSubview_->setObjectName(QStringLiteral("contentSubview"));
    w->setCentralWidget(contentSubview_);
    w->resize(kInitialContentSize);
    window_ = w;
}

void DBPrefsWindowController::addView(QWidget* view, const QString& label) {
    addView(view, label, namedImage(label));
}

void DBPrefsWindowController::addView(QWidget* view, const QString& label, const QIcon& image) {
    if (!view) throw std::logic_error("Attempted to add a nil view when calling -addView:label:image:.");
    const QString& identifier = label;
    toolbarIdentifiers_.append(identifier);
    toolbarViews_[identifier] = view;
    auto* item = new QAction(image, label, this);
    item->setObjectName(identifier);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item] { toggleActivePreferenceView(item); });
    if (auto old = toolbarItems_.find(identifier); old != toolbarItems_.end()) delete old->second;
    toolbarItems_[identifier] = item;
}

void DBPrefsWindowController::showWindow() {
    QMainWindow* w = window();

    if (toolbar_) toolbar_->clear();
    for (auto& [identifier, item] : toolbarItems_)
        delete item;
    toolbarIdentifiers_.clear();
    toolbarViews_.clear();
    toolbarItems_.clear();
    setupToolbar();
    if (toolbarIdentifiers_.isEmpty())
        throw std::logic_error("No items were added to the toolbar in -setupToolbar.");

    if (!toolbar_) createToolbar();
    refillToolbar();

    const QString first = toolbarIdentifiers_.front();
    toolbarItems_[first]->setChecked(true);
    displayViewForIdentifier(first, false);

    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        const QRect frame = w->frameGeometry();
        w->move(available.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    w->show();
    w->raise();
    w->activateWindow();
}

void DBPrefsWindowController::createToolbar() {
    toolbar_ = new QToolBar;
    toolbar_->setObjectName(QString::fromLatin1(kPrefsToolbarIdentifier));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->toggleViewAction()->setVisible(false);
    toolbarGroup_ = new QActionGroup(toolbar_);
    toolbarGroup_->setExclusive(true);
    window_->addToolBar(Qt::TopToolBarArea, toolbar_);
}

void DBPrefsWindowController::refillToolbar() {
    toolbar_->clear();
    for (const QString& identifier : toolbarIdentifiers_) {
        QAction* item = toolbarItems_[identifier];
        toolbarGroup_->addAction(item);
        toolbar_->addAction(item);
    }
}

void DBPrefsWindowController::toggleActivePreferenceView(QAction* item) {
    displayViewForIdentifier(item->objectName(), true);
}

std::map<QString, QAction*> DBPrefsWindowController::getToolbarItems() const {
    return toolbarItems_;
}

QWidget* DBPrefsWindowController::viewForIdentifier(const QString& identifier) const {
    auto it = toolbarViews_.find(identifier);
    return it == toolbarViews_.end() ? nullptr : it->second.data();
}

QList<QWidget*> DBPrefsWindowController::contentViews() const {
    if (!contentSubview_) return {};
    return contentSubview_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

QWidget* DBPrefsWindowController::currentView() const {
    const QList<QWidget*> views = contentViews();
    return views.isEmpty() ? nullptr : views.back();
}

void DBPrefsWindowController::removeFromContent(QWidget* view) {
    // Its opacity effect stays (a running fade may still drive it) until the view is shown again.
    view->setParent(viewShelf_);
}

QSize DBPrefsWindowController::paneSize(QWidget* view) {
    if (!view->testAttribute(Qt::WA_Resized)) view->resize(view->sizeHint());
    return view->size();
}

void DBPrefsWindowController::displayViewForIdentifier(const QString& identifier, bool animate) {
    QWidget* newView = viewForIdentifier(identifier);
    if (!newView || !window()) return;

    // The topmost pane is the one going out; anything under it is left from a cut-off fade.
    QList<QWidget*> views = contentViews();
    QWidget* oldView = views.isEmpty() ? nullptr : views.takeLast();
    for (QWidget* stale : views)
        removeFromContent(stale);
    if (newView == oldView) {
        // The pane shown already: the window follows a change of its size (rows shown or
        // hidden), unless an animation is under way.
        if (viewAnimation_->state() == QAbstractAnimation::Running) return;
        const QSize size = paneSize(newView);
        newView->setGeometry(0, 0, size.width(), size.height());
        setWindowFrame(frameForView(newView));
        return;
    }
    viewAnimation_->stop();

    const QSize size = paneSize(newView);
    newView->setGraphicsEffect(nullptr);
    newView->setParent(contentSubview_);
    newView->setGeometry(0, 0, size.width(), size.height());
    newView->raise();

    if (animate && crossFade_) {
        crossFadeView(oldView, newView);
    } else {
        if (oldView) removeFromContent(oldView);
        newView->show();
        const QRect target = frameForView(newView);
        if (animate) {
            viewAnimation_->clear();
            auto* frame = new QVariantAnimation;
            frame->setDuration(kCrossFadeMilliseconds);
            frame->setEasingCurve(QEasingCurve::InOutQuad);
            frame->setStartValue(window_->geometry());
            frame->setEndValue(target);
            connect(frame, &QVariantAnimation::valueChanged, this,
                    [this](const QVariant& v) { setWindowFrame(v.toRect()); });
            viewAnimation_->addAnimation(frame);
            viewAnimation_->start();
        } else {
            setWindowFrame(target);
        }
    }
    newView->setFocus(Qt::OtherFocusReason);

    if (auto item = toolbarItems_.find(identifier); item != toolbarItems_.end()) {
        window_->setWindowTitle(item->second->text());
        item->second->setChecked(true);
    }
}

int DBPrefsWindowController::titleAndToolbarHeight() {
    // Bring the window's layout up to date with its current size (resizes of a hidden window
    // reach the layout only when it is shown).
    window_->layout()->invalidate();
    window_->layout()->activate();
    return window_->height() - contentSubview_->height();
}

QRect DBPrefsWindowController::frameForView(QWidget* view) {
    if (!window()) return {};
    const QRect frame = window_->geometry();
    const QSize size = paneSize(view);
    return QRect(frame.x(), frame.y(), size.width(), titleAndToolbarHeight() + size.height());
}

void DBPrefsWindowController::setWindowFrame(const QRect& frame) {
    window_->setFixedSize(frame.size());
    window_->setGeometry(frame);
}

bool DBPrefsWindowController::isShiftHeld() const {
    return QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
}

void DBPrefsWindowController::crossFadeView(QWidget* oldView, QWidget* newView) {
    viewAnimation_->stop();
    viewAnimation_->clear();
    const int duration =
        shiftSlowsAnimation_ && isShiftHeld() ? kSlowCrossFadeMilliseconds : kCrossFadeMilliseconds;

    auto fade = [&](QWidget* view, double from, double to) {
        auto* effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(from);
        view->setGraphicsEffect(effect);
        auto* animation = new QPropertyAnimation(effect, "opacity");
        animation->setDuration(duration);
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        animation->setStartValue(from);
        animation->setEndValue(to);
        viewAnimation_->addAnimation(animation);
    };
    if (oldView) {
        // A pane cut off while fading in fades out from where it was.
        auto* current = qobject_cast<QGraphicsOpacityEffect*>(oldView->graphicsEffect());
        fade(oldView, current ? current->opacity() : 1.0, 0.0);
    }
    fade(newView, 0.0, 1.0);
    newView->show();

    auto* frame = new QVariantAnimation;
    frame->setDuration(duration);
    frame->setEasingCurve(QEasingCurve::InOutQuad);
    frame->setStartValue(window_->geometry());
    frame->setEndValue(frameForView(newView));
    connect(frame, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { setWindowFrame(v.toRect()); });
    viewAnimation_->addAnimation(frame);
    viewAnimation_->start();
}

void DBPrefsWindowController::animationDidEnd() {
    QList<QWidget*> views = contentViews();
    if (views.isEmpty()) return;
    QWidget* current = views.takeLast();
    for (QWidget* view : views)
        removeFromContent(view);
    current->setGraphicsEffect(nullptr);
    // Focus goes back to the pane, so that its key equivalents keep working.
    current->setFocus(Qt::OtherFocusReason);
}

} // namespace velora
