#pragma once
// GrabImageOperation: makes a window item's picture in the background. It takes the kept
// picture from the cache when the window has not changed since, else grabs the window
// (fitted into the box the panel shows it in), adds the badges the settings ask for and
// keeps the result in the cache; fades the picture of a minimised window or hidden
// application, stores it in the item and has the main thread redraw that one cell. It stops
// at each check once cancelled (before the grab, before storing, before the redraw), and
// every run of main() ends with isFinished() true.

#include <memory>
#include <optional>

#include "base/operation_queue.h"
#include "panel/ikb_browser_item.h"
#include "panel/picture_cache.h"

namespace velora {

class GrabImageOperation final : public Operation {
  public:
    // Without a box the window is grabbed at its own size; without a cache nothing is kept.
    static std::shared_ptr<GrabImageOperation> operationWithItem(IKBBrowserItemRef item,
                                                                 std::optional<Size> box = std::nullopt,
                                                                 PictureCache* cache = nullptr);
    GrabImageOperation(IKBBrowserItemRef item, std::optional<Size> box, PictureCache* cache)
        : item_(std::move(item)), box_(box), cache_(cache) {}

    // Held until the operation is freed.
    const IKBBrowserItemRef& item() const { return item_; }

    void main() override;

  private:
    ImageRef picture(const VLElement& window);

    const IKBBrowserItemRef item_;
    const std::optional<Size> box_;
    PictureCache* const cache_;
};

} // namespace velora
