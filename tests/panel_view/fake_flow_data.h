#pragma once
// A data source and delegate that record what the view asks of them, and the fixture of the
// panel view tests.

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

    std::string imageUID() override { return "item"; }
    std::string imageRepresentationType() override { return kImageRepresentationTypeImage; }
    ImageRef imageRepresentation() override { return picture; }
    std::optional<std::string> imageTitle() override { return title; }
    std::optional<std::string> imageSubtitle() override { return std::nullopt; }
};

struct FakeFlowData : ImageFlowDataSource, ImageFlowDelegate {
    std::vector<std::shared_ptr<FakeItem>> items;
    std::vector<int> doubleClicks;

    // Items with red pictures, titled "Window 0", "Window 1"...
    explicit FakeFlowData(int count = 0) {
        for (int i = 0; i < count; ++i)
            add(solidPicture(400, 300, QColor(200, 40, 40)), "Window " + std::to_string(i));
    }
    void add(ImageRef picture, std::optional<std::string> title) {
        FakeItem& item = *items.emplace_back(std::make_shared<FakeItem>());
        item.picture = std::move(picture);
        item.title = std::move(title);
    }

    int numberOfItemsInImageFlow(ImageFlowView&) override { return int(items.size()); }
    std::shared_ptr<ImageFlowItem> imageFlowItemAtIndex(ImageFlowView&, int index) override {
        return index < 0 || index >= int(items.size()) ? nullptr : items[size_t(index)];
    }
    void imageFlowCellWasDoubleClickedAtIndex(ImageFlowView&, int index) override {
        doubleClicks.push_back(index);
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
