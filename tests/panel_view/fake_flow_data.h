#pragma once
// A data source, delegate and dragging destination that record what the view asks of them.

#include <QImage>
#include <QLayout>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "panel/cover_flow_loader.h"
#include "panel/image_flow_view.h"
#include "support/solid_picture.h"

namespace velora::test {

struct FakeItem : ImageFlowItem {
    ImageRef picture;
    std::optional<std::string> title;
    std::optional<std::string> subtitle;
    int uidRequests = 0;

    std::string imageUID() override { return "item" + std::to_string(++uidRequests); }
    std::string imageRepresentationType() override { return kImageRepresentationTypeImage; }
    ImageRef imageRepresentation() override { return picture; }
    std::optional<std::string> imageTitle() override { return title; }
    std::optional<std::string> imageSubtitle() override { return subtitle; }
};

struct FakeFlowData : ImageFlowDataSource, ImageFlowDelegate {
    std::vector<std::shared_ptr<FakeItem>> items;
    std::vector<int> itemRequests;
    std::vector<int> doubleClicks;

    // Items with pictures of the given colour, titled "Window 0", "Window 1"...
    explicit FakeFlowData(int count = 0, QColor color = QColor(200, 40, 40)) {
        for (int i = 0; i < count; ++i)
            add(solidPicture(400, 300, color), "Window " + std::to_string(i));
    }
    FakeItem& add(ImageRef picture, std::optional<std::string> title,
                  std::optional<std::string> subtitle = {}) {
        auto item = std::make_shared<FakeItem>();
        item->picture = std::move(picture);
        item->title = std::move(title);
        item->subtitle = std::move(subtitle);
        items.push_back(item);
        return *item;
    }

    int numberOfItemsInImageFlow(ImageFlowView&) override { return int(items.size()); }
    std::shared_ptr<ImageFlowItem> imageFlowItemAtIndex(ImageFlowView&, int index) override {
        itemRequests.push_back(index);
        if (index < 0 || index >= int(items.size())) return nullptr;
        return items[size_t(index)];
    }
    void imageFlowCellWasDoubleClickedAtIndex(ImageFlowView&, int index) override {
        doubleClicks.push_back(index);
    }
};

// Accepts every file drag unless told otherwise, and records what it heard.
struct RecordingDestination : DraggingDestination {
    DragOperation updateAnswer = kDragOperationEvery;
    std::vector<DraggingInfo> entered, updated, performed;

    DragOperation draggingEntered(const DraggingInfo& info) override {
        entered.push_back(info);
        return kDragOperationEvery;
    }
    DragOperation draggingUpdated(const DraggingInfo& info) override {
        updated.push_back(info);
        return updateAnswer;
    }
    bool prepareForDragOperation(const DraggingInfo&) override { return true; }
    bool performDragOperation(const DraggingInfo& info) override {
        performed.push_back(info);
        return true;
    }
};

// A test on the panel's view, laid out at the default panel size, selecting without animation.
class PanelViewTest : public ::testing::Test {
  protected:
    PanelViewTest() {
        outlets.window->setFrame(Rect{0, 0, 637, 437}, false);
        outlets.window->layout()->activate();
        view->setSelectionAnimationDuration(0);
    }
    ~PanelViewTest() override { delete outlets.window; }

    CoverFlowOutlets outlets = loadCoverFlow();
    IKBImageFlowView* view = outlets.browserView;
};

} // namespace velora::test
