#include "panel/ikb_controller.h"

#include <QGuiApplication>
#include <algorithm>
#include <cmath>

#include "model/vl_settings.h"
#include "model/window_list_pass.h"
#include "panel/flow_layout.h"
#include "panel/grab_image_operation.h"
#include "panel/picture_cache.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace velora {

std::shared_ptr<IKBController> IKBController::create(PanelSession& session) {
    return std::make_shared<IKBController>(session);
}

void IKBController::setOutlets(PanelWindow* window, ImageFlowView* browserView) {
    window_ = window;
    browserView_ = browserView;
}

void IKBController::awakeFromNib() {
    browserData_.reserve(10);
    if (!browserView_) return;
    browserView_->setDelegate(this);
    browserView_->setDataSource(this);
    browserView_->setDraggingDestinationDelegate(this);
}

bool IKBController::shouldFullScreen() const {
    VLSettings& settings = VLSettings::shared();
    return (mode() == kModeApplications ? settings.fullScreenApps.load()
                                        : settings.fullScreenWindows.load()) != 0;
}

// --- showing

void IKBController::placeWindow() {
    VLSettings& settings = VLSettings::shared();
    Rect frame = window_->frame();
    frame.width = double(settings.width.load());
    frame.height = double(settings.height.load());
    window_->setFrame(frame, true);
    // On the monitor of the window the user is working in, whatever the primary monitor is.
    window_->centerOnScreen(window_->screenFor(VLElement::focusedWindowFrame()));
    window_->makeKeyAndOrderFront();
    trace::mark("panel");
    markPicturesIfComplete();
}

void IKBController::show() {
    // A panel that is up already (a mode change refills it in place) keeps the application
    // it will return to; asking now would only find the panel's own state.
    if (!isShown()) session_.setPreviouslyActive(VLElement::currentActiveApplication());
    refreshPictures();
    keepPicturesLive();
    // The panel window takes the keyboard without activating anything, so there is no
    // activation of our own to ask for here.
    if (shouldFullScreen()) {
        const int screen = window_ ? window_->screenFor(VLElement::focusedWindowFrame()) : 0;
        if (browserView_) browserView_->enterFullScreenMode(screen, kFullScreenPresentationOptions);
        return;
    }
    if (window_) placeWindow();
}

void IKBController::hide() {
    if (liveTimer_) {
        liveTimer_->invalidate();
        liveTimer_.reset();
        trace::value("picture_cache", static_cast<long long>(PictureCache::shared().bytes()));
    }
    if (shouldFullScreen()) {
        if (browserView_) browserView_->exitFullScreenMode();
    } else if (window_) {
        window_->orderOut();
    }
    clearItems();
}

bool IKBController::isShown() const {
    if (shouldFullScreen()) return browserView_ && browserView_->isInFullScreenMode();
    return window_ && window_->isVisible();
}

void IKBController::showForResize() {
    if (!window_) return;
    window_->setAlphaValue(0.5);
    placeWindow();
}

void IKBController::hideForResize() {
    if (!window_) return;
    window_->orderOut();
    window_->setAlphaValue(1.0);
}

// --- items

void IKBController::populateItems(const VLCandidateList& candidates) {
    clearItems();
    // Fetched when the first window that needs matching comes up, at most once.
    WindowListPass pass;
    for (const VLCandidate& candidate : candidates) {
        if (const VLElementRef* window = std::get_if<VLElementRef>(&candidate)) {
            if (*window && (*window)->shouldShowWindow(pass.forShouldShowWindow(**window)))
                browserData_.push_back(IKBBrowserItem::itemWithWindowRef(*window, *this));
        } else if (const RunningApplicationRef* app = std::get_if<RunningApplicationRef>(&candidate)) {
            if (*app && session_.shouldShowApp(*app))
                browserData_.push_back(IKBBrowserItem::itemWithRunningApplication(*app, *this));
        }
    }
    if (browserData_.empty()) browserData_.push_back(IKBBrowserItem::emptyItem(*this));
    picturesPending_ = int(std::count_if(browserData_.begin(), browserData_.end(),
                                         [](const IKBBrowserItemRef& item) { return item->isWindow(); }));
    reloadData();
    // Position 0 is what is in front now: start on the next one.
    if (browserView_) browserView_->setSelectedIndex(1);
}

void IKBController::clearItems() {
    for (const IKBBrowserItemRef& item : browserData_)
        item->empty();
    if (browserView_) browserView_->cacheManager().freeCache();
    browserData_.clear();
    picturesPending_ = 0;
    loaded_.clear();
    picturesMarked_ = false;
    if (browserView_) browserView_->cacheManager().freeCache();
    reloadData();
    if (browserView_) browserView_->cacheManager().freeCache();
}

void IKBController::reloadData() {
    if (browserView_) browserView_->reloadData();
}

// --- selection

void IKBController::selectNext() {
    if (!browserView_ || browserData_.empty()) return;
    const int32_t n = int32_t(browserData_.size());
    const int32_t i = int32_t(browserView_->selectedIndex());
    browserView_->setSelectedIndex(unsigned(i >= n - 1 ? 0 : i + 1));
}

void IKBController::selectPrevious() {
    if (!browserView_ || browserData_.empty()) return;
    const int32_t n = int32_t(browserData_.size());
    int32_t i = std::min(int32_t(browserView_->selectedIndex()), n);
    if (i <= 0) i = n;
    browserView_->setSelectedIndex(unsigned(i - 1));
}

void IKBController::selectLast() {
    if (browserView_ && !browserData_.empty())
        browserView_->setSelectedIndex(unsigned(browserData_.size() - 1));
}

IKBBrowserItemRef IKBController::selectedElement() const {
    if (!browserView_ || browserData_.empty()) return nullptr;
    const std::size_t index = std::min<std::size_t>(browserView_->selectedIndex(), browserData_.size() - 1);
    return browserData_[index];
}

void IKBController::activateCurrentIndex() {
    if (IKBBrowserItemRef item = selectedElement()) item->activate();
}

bool IKBController::reloadCellOfItem(const IKBBrowserItem* item) {
    for (std::size_t i = 0; i < browserData_.size(); ++i)
        if (browserData_[i].get() == item) {
            if (browserView_) browserView_->reloadCellDataAtIndex(int(i));
            return true;
        }
    return false;
}

void IKBController::pictureDidLoad(const IKBBrowserItem* item) {
    // A picture of an earlier filling (its grab finished as the panel was refilled) is not
    // one of this filling's; a live update of a picture already there is not a first one.
    if (!reloadCellOfItem(item) || picturesPending_ <= 0 || !loaded_.insert(item).second) return;
    if (--picturesPending_ == 0) markPicturesIfComplete();
}

void IKBController::markPicturesIfComplete() {
    // Every picture is in its cell once they are all there and the panel is up.
    if (picturesMarked_ || picturesPending_ != 0 || loaded_.empty() || !isShown()) return;
    picturesMarked_ = true;
    trace::mark("pictures");
}

// --- pictures

std::optional<Size> IKBController::pictureBox() const {
    VLSettings& settings = VLSettings::shared();
    const double width = double(settings.width.load()), height = double(settings.height.load());
    if (width <= 0 || height <= 0) return std::nullopt;
    const FlowLayout layout(QSizeF(width, height), int(browserData_.size()));
    const double dpr =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? qGuiApp->devicePixelRatio() : 1.0;
    return Size{std::ceil(layout.frontBox().width() * dpr), std::ceil(layout.frontBox().height() * dpr)};
}

void IKBController::refreshPictures() {
    PictureCache& cache = PictureCache::shared();
    const std::optional<Size> box = pictureBox();
    bool first = true;
    for (const IKBBrowserItemRef& item : browserData_) {
        const VLElementRef& window = item->windowRef();
        if (!item->isWindow() || !window) continue;
        const bool tried = item->grabTried();
        if (tried && !(window->wid() > 0 && cache.changedSince(uint32_t(window->wid())))) continue;
        if (!item->claimGrab()) continue;
        if (first && !tried) {
            // Pictures of windows that are gone are let go of once per filling: the server no
            // longer follows their drawing (no round trip, unlike asking for their bounds).
            cache.retainOnly([](uint32_t n) { return windowServer().windowContentsVersion(n).has_value(); });
            first = false;
        }
        session_.queue().addOperation(GrabImageOperation::operationWithItem(item, box, &cache));
    }
}

void IKBController::keepPicturesLive() {
    if (liveTimer_ && liveTimer_->isValid()) return;
    std::weak_ptr<IKBController> self = weak_from_this();
    liveTimer_ = mainThread().scheduleTimer(kLiveInterval, [self] {
        auto controller = self.lock();
        if (!controller || !controller->isShown()) return;
        controller->liveTimer_.reset();
        controller->refreshPictures();
        controller->keepPicturesLive();
    });
}

// --- data source and delegate

int IKBController::numberOfItemsInImageFlow(ImageFlowView&) {
    return int(browserData_.size());
}

std::shared_ptr<ImageFlowItem> IKBController::imageFlowItemAtIndex(ImageFlowView&, int index) {
    if (index < 0 || std::size_t(index) >= browserData_.size()) return nullptr;
    return browserData_[std::size_t(index)];
}

void IKBController::imageFlowCellWasDoubleClickedAtIndex(ImageFlowView&, int) {
    session_.endHandling();
}

} // namespace velora
