#pragma once
// Loading the "CoverFlow" interface file: the panel window with the image-flow view inside.

#include "panel/ikb_image_flow_view.h"
#include "panel/ma_window.h"

namespace velora {

struct CoverFlowOutlets {
    MAWindow* window = nullptr;              // hidden after loading; owned by the caller
    IKBImageFlowView* browserView = nullptr; // a child of the window, deleted with it
};

// Builds the window and view the interface file describes and applies the window's settings
// after loading (MAWindow::awakeFromNib). Main thread only.
CoverFlowOutlets loadCoverFlow();

} // namespace velora
