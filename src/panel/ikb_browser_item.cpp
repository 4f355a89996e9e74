#include "panel/ikb_browser_item.h"

#include <cstdio>

#include "model/known_applications.h"
#include "model/vl_settings.h"
#include "panel/badge_drawing.h"
#include "panel/ikb_controller.h"
#include "platform/platform.h"

namespace velora {

IKBBrowserItem::IKBBrowserItem(Kind kind, VLElementRef window, RunningApplicationRef app,
                               std::optional<std::string> title, ImageRef image,
                               std::weak_ptr<IKBController> controller)
    : kind_(kind), windowRef_(std::move(window)), runningApplication_(std::move(app)),
      title_(std::move(title)), controller_(std::move(controller)), image_(std::move(image)) {}

// --- making items

IKBBrowserItemRef IKBBrowserItem::itemWithRunningApplication(RunningApplicationRef app,
                                                             IKBController& controller) {
    ImageRef icon = app ? app->icon() : nullptr;
    std::optional<std::string> name;
    if (app) name = app->localizedName();
    const bool hidden = app && app->isHidden();
    auto item = std::make_shared<IKBBrowserItem>(Kind::Application, nullptr, std::move(app), std::move(name),
                                                 std::move(icon), controller.weak_from_this());
    // Not in the panel yet: no selection change, no cell to redraw.
    if (hidden) item->fadeImage(false);
    return item;
}

IKBBrowserItemRef IKBBrowserItem::itemWithWindowRef(VLElementRef window, IKBController& controller) {
    std::optional<std::string> title = window ? window->getTitle() : std::nullopt;
    // Every field is set here, before any grab: the grab reads them on its own thread.
    return std::make_shared<IKBBrowserItem>(Kind::Window, std::move(window), nullptr, std::move(title),
                                            nullptr, controller.weak_from_this());
}

IKBBrowserItemRef IKBBrowserItem::emptyItem(IKBController& controller) {
    return std::make_shared<IKBBrowserItem>(Kind::Empty, nullptr, nullptr, std::string(kEmptyTitle),
                                            namedPanelImage("empty"), controller.weak_from_this());
}

void IKBBrowserItem::reOpen(const RunningApplicationRef& app) {
    if (!app || !VLSettings::shared().shouldReOpen.load()) return;
    // Mail opens a new viewer window on every re-open; leave it alone while it has one.
    if (app->bundleIdentifier() == kMailBundle &&
        VLElement::checkIfPidHasOpenWindows(app->processIdentifier()))
        return;
    workspace().launchApplication(app->executablePath(), kLaunchDefaultOptions);
}

// --- the picture

ImageRef IKBBrowserItem::image() const {
    std::lock_guard lock(imageMutex_);
    return image_;
}

void IKBBrowserItem::setImage(ImageRef image) {
    std::lock_guard lock(imageMutex_);
    image_ = std::move(image);
}

bool IKBBrowserItem::isTransparent() const {
    std::lock_guard lock(imageMutex_);
    return isTransparent_;
}

void IKBBrowserItem::empty() {
    setImage(nullptr);
}

bool IKBBrowserItem::claimGrab() {
    if (grabQueued_.exchange(true)) return false;
    grabTried_.store(true);
    return true;
}

BadgeOptions IKBBrowserItem::badgeOptions() const {
    BadgeOptions options;
    if (!isWindow() || !windowRef_) return options;
    VLSettings& settings = VLSettings::shared();
    options.spaceBadge = settings.showSpaceBadges.load() != 0;
    options.appBadge = settings.showAppBadges.load() != 0;
    if (options.spaceBadge) {
        options.spaceNumber = windowRef_->getSpaceNumber();
        options.plate = namedPanelImage("Space");
    }
    if (options.appBadge)
        if (RunningApplicationRef app = windowRef_->runningApplicationForWindow())
            options.appIcon = app->icon();
    return options;
}

void IKBBrowserItem::storeGrabbedPicture(const ImageRef& picture, bool outOfSight) {
    if (!picture) return;
    // Drawn outside the lock; stored only if no fade came in meanwhile (else drawn again).
    for (;;) {
        const bool wasTransparent = isTransparent();
        ImageRef stored = picture;
        bool faded = false;
        if (outOfSight || wasTransparent) {
            if (ImageRef f = fadedImage(picture, picture->size())) {
                stored = std::move(f);
                faded = true;
            } else if (wasTransparent) {
                return; // keep the faded picture rather than an unfaded one
            }
        }
        std::lock_guard lock(imageMutex_);
        if (isTransparent_ != wasTransparent) continue;
        image_ = std::move(stored);
        if (faded) isTransparent_ = true;
        return;
    }
}

bool IKBBrowserItem::fadeCurrentImage() {
    for (;;) {
        ImageRef current;
        {
            std::lock_guard lock(imageMutex_);
            if (isTransparent_ || !image_) return false;
            current = image_;
        }
        // A window's picture is faded at its own size, an icon at its largest stored size.
        const Size size = isWindow() ? current->size() : getBestSizeForIcon(current);
        if (size.width < kMinimumSide || size.height < kMinimumSide) return false;
        ImageRef faded = fadedImage(current, size);
        if (!faded) return false;
        std::lock_guard lock(imageMutex_);
        if (isTransparent_) return false;
        if (image_ != current) continue; // a grab stored a new picture: fade that one
        image_ = std::move(faded);
        isTransparent_ = true;
        return true;
    }
}

void IKBBrowserItem::fadeImage(bool advance) {
    if (!fadeCurrentImage() || !advance) return;
    if (auto controller = controller_.lock()) controller->selectNext();
    updateCoverFlowData();
}

void IKBBrowserItem::fadeImage() {
    if (fadeCurrentImage()) updateCoverFlowData();
}

void IKBBrowserItem::updateCoverFlowData() {
    if (auto controller = controller_.lock()) controller->reloadCellOfItem(this);
}

void IKBBrowserItem::pictureDidLoad() {
    if (auto controller = controller_.lock()) controller->pictureDidLoad(this);
}

void IKBBrowserItem::activate() {
    if (isWindow()) {
        if (windowRef_) windowRef_->raise();
        return;
    }
    if (!runningApplication_) return;
    runningApplication_->activateWithOptions(kActivateAllWindows | kActivateIgnoringOtherApps);
    reOpen(runningApplication_);
}

Size IKBBrowserItem::getBestSizeForIcon(const ImageRef& image) {
    return bestSizeForIcon(image);
}

// --- what the view asks

std::string IKBBrowserItem::imageUID() {
    auto controller = controller_.lock();
    const double id = controller ? controller->session().nextID() : 0.0;
    char number[64];
    std::snprintf(number, sizeof number, "%f", id);
    return title_.value_or(std::string()) + number;
}

std::string IKBBrowserItem::imageRepresentationType() {
    return kImageRepresentationTypeImage;
}

ImageRef IKBBrowserItem::imageRepresentation() {
    return image();
}

std::optional<std::string> IKBBrowserItem::imageTitle() {
    VLSettings& settings = VLSettings::shared();
    const bool shown =
        isWindow() ? settings.windowShowWindowName.load() != 0 : settings.appShowAppName.load() != 0;
    return shown ? title_ : std::nullopt;
}

std::optional<std::string> IKBBrowserItem::imageSubtitle() {
    if (!isWindow() || !windowRef_ || !VLSettings::shared().windowShowAppName.load()) return std::nullopt;
    RunningApplicationRef app = windowRef_->runningApplicationForWindow();
    if (!app) return std::nullopt;
    return app->localizedName();
}

} // namespace velora
