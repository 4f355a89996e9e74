#include "panel/grab_image_operation.h"

#include "platform/platform.h"

namespace velora {

std::shared_ptr<GrabImageOperation> GrabImageOperation::operationWithItem(IKBBrowserItemRef item) {
    return std::make_shared<GrabImageOperation>(std::move(item));
}

void GrabImageOperation::main() {
    const VLElementRef window = item_ ? item_->windowRef() : nullptr;
    if (!isCancelled() && window) {
        ImageRef picture = window->grabWindow();
        if (picture && !isCancelled()) {
            picture = item_->badgeImage(picture);
            const bool outOfSight = window->checkIfMinimized() || window->checkIfHidden();
            item_->storeGrabbedPicture(picture, outOfSight);
            if (!isCancelled()) {
                IKBBrowserItemRef item = item_;
                mainThread().performAsync([item] { item->pictureDidLoad(); });
            }
        }
    }
    setIsFinished(true);
}

} // namespace velora
