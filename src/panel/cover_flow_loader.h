#pragma once
// Loading the "CoverFlow" interface file: the panel window with the image-flow view inside.

#include "panel/ikb_image_flow_view.h"
#include "panel/ma_window.h"

namespace velora {

struct CoverFlowOutlets {
    MAWindow* window = nullptr;              // hidden after loading; owned by the caller
    IKBImageFlowView* browserView = nullptr; // a child of the window, deleted with it
    // What the controller shows and hides: the window itself, or where the desktop shows the
    // panel from an image (a panel-surface port is installed), a SurfacePanelWindow over it,
    // deleted with the window.
    PanelWindow* panel = nullptr;
};

// Builds the window and view the interface file describes and applies the window's settings
// after loading (MAWindow::awakeFromNib), and picks the panel for the installed platform.
// Main thread only.
CoverFlowOutlets loadCoverFlow();

} // namespace velora
