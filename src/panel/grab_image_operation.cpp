#include "panel/grab_image_operation.h"

#include "platform/platform.h"

namespace velora {

std::shared_ptr<GrabImageOperation>
GrabImageOperation::operationWithItem(IKBBrowserItemRef item, std::optional<Size> box, PictureCache* cache) {
    return std::make_shared<GrabImageOperation>(std::move(item), box, cache);
}

ImageRef GrabImageOperation::picture(const VLElement& window) {
    const BadgeOptions badges = item_->badgeOptions();
    const int32_t number = window.wid();
    const PictureKey key = PictureKey::of(box_.value_or(Size{}), badges);
    const bool cached = cache_ && number > 0;
    // Asked before the read: a change during the read makes the kept picture stale at once.
    const std::optional<uint64_t> version =
        cached ? windowServer().windowContentsVersion(uint32_t(number)) : std::nullopt;
    if (cached)
        if (ImageRef kept = cache_->current(uint32_t(number), key, version)) return kept;
    ImageRef picture = window.grabWindow(box_);
    if (!picture || isCancelled()) return nullptr;
    picture = badgedImage(picture, badges);
    if (cached) cache_->keep(uint32_t(number), picture, version, key);
    return picture;
}

void GrabImageOperation::main() {
    const VLElementRef window = item_ ? item_->windowRef() : nullptr;
    if (!isCancelled() && window) {
        ImageRef picture = this->picture(*window);
        if (picture && !isCancelled()) {
            const bool outOfSight = window->checkIfMinimized() || window->checkIfHidden();
            item_->storeGrabbedPicture(picture, outOfSight);
            if (!isCancelled()) {
                IKBBrowserItemRef item = item_;
                mainThread().performAsync([item] { item->pictureDidLoad(); });
            }
        }
    }
    if (item_) item_->grabEnded();
    setIsFinished(true);
}

} // namespace velora
