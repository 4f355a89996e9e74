#pragma once
// IKBBrowserItem: one cell of the switch panel. Three kinds:
//
// - an application item: the application's icon and name (faded at once when the
//   application is hidden);
// - a window item: the window's title, and a picture that a GrabImageOperation makes in the
//   background (from the picture cache when the window has not changed) and stores when it
//   is ready; the controller queues it once the panel is about to show;
// - the empty item: the "empty" image and "Nothing to display...", the only item of a list
//   in which nothing passed the rules.
//
// Threads: the kind, the title and the references are fixed when the item is made, so every
// thread may read them. The picture and the faded flag sit behind one small lock: the view
// reads the picture on the main thread while a grab stores one on its own thread, and every
// reader gets a reference that stays valid. Drawing is never done under the lock.
//
// Fading against a grab: a fade draws from the picture it read and stores only if that
// picture is still the item's; a grab stores its picture in one step and fades it first when
// the item has been faded meanwhile (or its window is out of sight). Either order ends with
// a faded picture, and an item is faded at most once.
//
// Everything that touches the panel (selection, cells) runs on the main thread.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "model/vl_element.h"
#include "panel/badge_drawing.h"
#include "panel/image_flow_view.h"
#include "platform/image.h"
#include "platform/workspace.h"

namespace velora {

class IKBController;
class IKBBrowserItem;
using IKBBrowserItemRef = std::shared_ptr<IKBBrowserItem>;

class IKBBrowserItem final : public ImageFlowItem, public std::enable_shared_from_this<IKBBrowserItem> {
  public:
    static constexpr const char* kEmptyTitle = "Nothing to display...";
    // Pictures (and icons) smaller than this in either direction are never faded.
    static constexpr double kMinimumSide = 5;

    // --- making items (main thread)

    static IKBBrowserItemRef itemWithRunningApplication(RunningApplicationRef app, IKBController& controller);
    // The picture comes later, from the grab the controller queues (refreshPictures).
    static IKBBrowserItemRef itemWithWindowRef(VLElementRef window, IKBController& controller);
    static IKBBrowserItemRef emptyItem(IKBController& controller);

    // Sends the application a re-open request when the settings ask for it; Mail with an open
    // window is left alone. Any thread.
    static void reOpen(const RunningApplicationRef& app);

    // --- what the item stands for (any thread)

    const VLElementRef& windowRef() const { return windowRef_; }
    const RunningApplicationRef& runningApplication() const { return runningApplication_; }
    const std::optional<std::string>& title() const { return title_; }
    bool isWindow() const { return kind_ == Kind::Window; }
    bool isEmpty() const { return kind_ == Kind::Empty; }

    // --- the picture (any thread)

    ImageRef image() const;
    void setImage(ImageRef image);
    bool isTransparent() const;
    // Drops the picture; the title and references stay.
    void empty();

    // The space and application badges the settings ask for on the item's picture now (reads
    // the window's space and application icon); badgedImage draws them. Any thread.
    BadgeOptions badgeOptions() const;
    // Marks a grab as queued for the item; false when one is queued or running already.
    bool claimGrab();
    // The grab has run: a later refresh may queue another. (A grab cancelled before it ran
    // leaves the claim set; the panel is hidden after every cancel, which empties the items.)
    void grabEnded() { grabQueued_.store(false); }
    // Whether a grab was ever queued for the item.
    bool grabTried() const { return grabTried_.load(); }
    // Stores a grabbed (and badged) picture, faded when `outOfSight` or when the item was
    // faded meanwhile. Any thread.
    void storeGrabbedPicture(const ImageRef& picture, bool outOfSight);

    // --- main thread

    // Redraws the picture at half opacity, once. With `advance` the panel's selection moves
    // on and the cell is redrawn; without, neither (the item is not in the panel yet, or the
    // caller redraws). Nothing happens to an item without a picture of at least 5 x 5.
    void fadeImage(bool advance);
    // Fades and redraws the cell; never moves the selection.
    void fadeImage();
    // Redraws this item's cell, if the item is still in the panel.
    void updateCoverFlowData();
    // The background grab stored a picture: redraws the cell and tells the controller.
    void pictureDidLoad();
    // Raises the window, or activates the application (all windows, ignoring the others) and
    // re-opens it; the empty item does nothing.
    void activate();
    // The largest size among the image's representations.
    static Size getBestSizeForIcon(const ImageRef& image);

    // --- what the view asks (main thread)

    std::string imageUID() override;
    std::string imageRepresentationType() override;
    ImageRef imageRepresentation() override;
    std::optional<std::string> imageTitle() override;
    std::optional<std::string> imageSubtitle() override;

    enum class Kind { Application, Window, Empty };
    IKBBrowserItem(Kind kind, VLElementRef window, RunningApplicationRef app,
                   std::optional<std::string> title, ImageRef image, std::weak_ptr<IKBController> controller);

  private:
    // Fades the current picture if it is still current when stored; true when it faded.
    bool fadeCurrentImage();

    const Kind kind_;
    const VLElementRef windowRef_;
    const RunningApplicationRef runningApplication_;
    const std::optional<std::string> title_;
    const std::weak_ptr<IKBController> controller_;

    std::atomic<bool> grabQueued_{false}, grabTried_{false};
    mutable std::mutex imageMutex_; // image_, isTransparent_
    ImageRef image_;
    bool isTransparent_ = false;
};

} // namespace velora
