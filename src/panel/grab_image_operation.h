#pragma once
// GrabImageOperation: makes a window item's picture in the background. It grabs the window,
// adds the badges the settings ask for, fades the picture of a minimised window or hidden
// application, stores it in the item and has the main thread redraw that one cell. It stops
// at each check once cancelled (before the grab, before storing, before the redraw), and
// every run of main() ends with isFinished() true.

#include <memory>

#include "panel/ikb_browser_item.h"
#include "base/operation_queue.h"

namespace velora {

class GrabImageOperation final : public Operation {
public:
    static std::shared_ptr<GrabImageOperation> operationWithItem(IKBBrowserItemRef item);
    explicit GrabImageOperation(IKBBrowserItemRef item) : item_(std::move(item)) {}

    // Held until the operation is freed.
    const IKBBrowserItemRef& item() const { return item_; }

    void main() override;

private:
    const IKBBrowserItemRef item_;
};

} // namespace velora
