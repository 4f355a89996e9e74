// Files dragged onto the panel. In the application mode a drop opens the files with the
// application under the pointer; in the window modes a drag held over the selected window
// ends the switch on it.
#include "panel/ikb_controller.h"
#include "platform/platform.h"

namespace velora {

DragOperation IKBController::draggingEntered(const DraggingInfo& info) {
    dragCount_ = 0;
    if (info.source == this) return kDragOperationNone;
    return info.hasFilenames ? kDragOperationEvery : kDragOperationNone;
}

DragOperation IKBController::draggingUpdated(const DraggingInfo& info) {
    if (mode() == kModeApplications || !browserView_) return kDragOperationEvery;
    const int32_t cell = int32_t(browserView_->cellIndexAtLocation(info.location));
    const int32_t selected = int32_t(browserView_->selectedIndex());
    dragCount_ = cell == selected ? dragCount_ + 1 : 0;
    if (dragCount_ < kDragUpdatesToActivate) return kDragOperationEvery;

    dragCount_ = 0;
    // The contents vanish at once; the switch ends on the next turn of the run loop, after
    // this update has returned, and the view is made opaque again behind it.
    browserView_->setAlphaValue(0.0);
    std::weak_ptr<IKBController> self = weak_from_this();
    mainThread().scheduleTimer(0, [self] {
        if (auto controller = self.lock()) controller->session().endHandling();
    });
    mainThread().scheduleTimer(0, [self] {
        if (auto controller = self.lock()) controller->restoreAlpha();
    });
    return kDragOperationNone;
}

bool IKBController::prepareForDragOperation(const DraggingInfo&) {
    return true;
}

bool IKBController::performDragOperation(const DraggingInfo& info) {
    if (mode() != kModeApplications) return true;
    // A drop that lands on no cell names no application: it is refused and changes nothing.
    const int64_t cell = browserView_ ? browserView_->cellIndexAtLocation(info.location) : kNotFound;
    if (cell < 0 || std::size_t(cell) >= browserData_.size()) return false;
    const IKBBrowserItemRef target = browserData_[std::size_t(cell)];

    session_.unregisterHotkeys();
    target->activate();
    // No application (the empty item): each file opens with its default application.
    const std::string application =
        target->runningApplication() ? target->runningApplication()->executablePath() : std::string();
    for (const std::string& path : info.filenames)
        workspace().openFile(path, application);
    session_.queue().cancelAllOperations();
    hide();
    session_.switchEnded();
    return true;
}

} // namespace velora
