#pragma once
// Recording stand-ins for the panel's window and image-flow view, for tests and benchmarks
// of the panel controller and the engine. They keep the state a real view and window keep
// (selection, visibility, full screen, alpha) and record what was asked of them. Main
// thread only, like the real ones.

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "panel/image_flow_view.h"
#include "panel/panel_window.h"

namespace velora::test {

class FakeImageFlowView final : public ImageFlowView, private ImageFlowCacheManager {
  public:
    void setDataSource(ImageFlowDataSource* source) override { dataSource = source; }
    void setDelegate(ImageFlowDelegate*) override {}
    void setDraggingDestinationDelegate(DraggingDestination*) override {}

    // Pulls every cell from the data source, as a drawn view does.
    void reloadData() override {
        ++reloads;
        for (int i = 0; i < count(); ++i)
            dataSource->imageFlowItemAtIndex(*this, i);
    }
    void reloadCellDataAtIndex(int index) override { reloadedCells.push_back(index); }

    // An index past the end stands for the last cell, as the drawn view has it.
    unsigned selectedIndex() const override {
        const int n = count();
        return n == 0 ? 0 : std::min<unsigned>(selected, unsigned(n - 1));
    }
    void setSelectedIndex(unsigned index) override {
        selected = index;
        selections.push_back(index);
    }

    // Cells 100 points wide from x = 0.
    int64_t cellIndexAtLocation(Point location) const override {
        const int64_t cell = location.x < 0 ? kNotFound : int64_t(location.x / 100);
        return cell < count() ? cell : kNotFound;
    }

    ImageFlowCacheManager& cacheManager() override { return *this; }
    void freeCache() override { ++cacheFrees; }

    void setAlphaValue(double a) override { alpha = a; }
    double alphaValue() const override { return alpha; }

    bool enterFullScreenMode(int, uint32_t) override { return fullScreen = true; }
    void exitFullScreenMode() override { fullScreen = false; }
    bool isInFullScreenMode() const override { return fullScreen; }

    int count() const {
        return dataSource ? dataSource->numberOfItemsInImageFlow(const_cast<FakeImageFlowView&>(*this)) : 0;
    }

    ImageFlowDataSource* dataSource = nullptr;
    unsigned selected = 0;
    std::vector<unsigned> selections;
    std::vector<int> reloadedCells;
    int reloads = 0;
    int cacheFrees = 0;
    double alpha = 1.0;
    bool fullScreen = false;
};

class FakePanelWindow final : public PanelWindow {
  public:
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& f, bool) override { frame_ = f; }
    int screenFor(const std::optional<Rect>& focusedWindow) const override {
        askedFor = focusedWindow;
        return screenIndex;
    }
    void centerOnScreen(int index) override { centeredOn = index; }
    void makeKeyAndOrderFront() override {
        visible = true;
        ++orderFronts;
    }
    void orderOut() override {
        visible = false;
        if (onOrderOut) onOrderOut();
    }
    bool isVisible() const override { return visible; }
    void setAlphaValue(double) override {}

    Rect frame_{40, 30, 10, 10};
    bool visible = false;
    int screenIndex = 0; // what screenFor answers
    mutable std::optional<Rect> askedFor;
    int centeredOn = -1;
    int orderFronts = 0;
    std::function<void()> onOrderOut; // runs as the window goes, to see what came before
};

} // namespace velora::test
