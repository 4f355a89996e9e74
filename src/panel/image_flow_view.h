#pragma once
// What the switch panel needs of its flowing image view: a row of large images of which one
// is selected, each with an optional title and subtitle. The panel controller is the view's
// data source, delegate and dragging destination; the drawn Qt view implements this
// interface, and tests use a recording one.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/image.h"

namespace velora {

class ImageFlowView;

// One cell's content, as the view asks for it.
class ImageFlowItem {
  public:
    virtual ~ImageFlowItem() = default;
    // A new identifier at every request: the view must not cache a cell's image by it.
    virtual std::string imageUID() = 0;
    virtual std::string imageRepresentationType() = 0;
    // Null while a window's picture has not arrived.
    virtual ImageRef imageRepresentation() = 0;
    virtual std::optional<std::string> imageTitle() = 0;
    virtual std::optional<std::string> imageSubtitle() = 0;
};

inline constexpr const char* kImageRepresentationTypeImage = "IKImageBrowserNSImageRepresentationType";

class ImageFlowDataSource {
  public:
    virtual ~ImageFlowDataSource() = default;
    virtual int numberOfItemsInImageFlow(ImageFlowView& view) = 0;
    // Null for an index outside the list.
    virtual std::shared_ptr<ImageFlowItem> imageFlowItemAtIndex(ImageFlowView& view, int index) = 0;
};

class ImageFlowDelegate {
  public:
    virtual ~ImageFlowDelegate() = default;
    virtual void imageFlowCellWasDoubleClickedAtIndex(ImageFlowView& view, int index) = 0;
};

// Drag and drop of file names onto the view.
using DragOperation = uint64_t;
inline constexpr DragOperation kDragOperationNone = 0;
inline constexpr DragOperation kDragOperationEvery = ~uint64_t(0);

struct DraggingInfo {
    const void* source = nullptr;       // the dragging source when it is in this process
    bool hasFilenames = false;          // the drag offers file names (text/uri-list of file URLs)
    std::vector<std::string> filenames; // local paths, in the drag's order
    Point location;                     // in the panel window's coordinates
};

class DraggingDestination {
  public:
    virtual ~DraggingDestination() = default;
    virtual DragOperation draggingEntered(const DraggingInfo& info) = 0;
    virtual DragOperation draggingUpdated(const DraggingInfo& info) = 0;
    virtual bool prepareForDragOperation(const DraggingInfo& info) = 0;
    virtual bool performDragOperation(const DraggingInfo& info) = 0;
};

// The images a view keeps for its cells.
class ImageFlowCacheManager {
  public:
    virtual ~ImageFlowCacheManager() = default;
    // Drops every image the view keeps; the next paint asks the data source again.
    virtual void freeCache() = 0;
};

inline constexpr int64_t kNotFound = -1;

// Full-screen presentation options (hide the dock, hide the menu bar, no process switching,
// no hiding of the application): 2 + 8 + 32 + 256.
inline constexpr uint32_t kFullScreenPresentationOptions = 298;

class ImageFlowView {
  public:
    virtual ~ImageFlowView() = default;

    virtual void setDataSource(ImageFlowDataSource* source) = 0;
    virtual void setDelegate(ImageFlowDelegate* delegate) = 0;
    virtual void setDraggingDestinationDelegate(DraggingDestination* destination) = 0;

    // Every cell is rebuilt from the data source.
    virtual void reloadData() = 0;
    // One cell re-reads its item (title, image, identifier).
    virtual void reloadCellDataAtIndex(int index) = 0;

    // The view keeps one selected cell; an index past the end selects the last cell, so the
    // selection always names an existing cell while there is one.
    virtual unsigned selectedIndex() const = 0;
    virtual void setSelectedIndex(unsigned index) = 0;

    // The cell under a point in window coordinates, or kNotFound.
    virtual int64_t cellIndexAtLocation(Point location) const = 0;

    virtual ImageFlowCacheManager& cacheManager() = 0;

    virtual void setAlphaValue(double alpha) = 0;
    virtual double alphaValue() const = 0;

    // Covers the whole screen by itself, without the panel window.
    virtual bool enterFullScreenMode(int screenIndex, uint32_t presentationOptions) = 0;
    virtual void exitFullScreenMode() = 0;
    virtual bool isInFullScreenMode() const = 0;
};

} // namespace velora
