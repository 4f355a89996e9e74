#include "panel/cover_flow_loader.h"

#include "panel/surface_panel_window.h"
#include "platform/platform.h"
#include "ui_CoverFlow.h"

namespace velora {

CoverFlowOutlets loadCoverFlow() {
    auto* window = new MAWindow;
    Ui::CoverFlow ui;
    ui.setupUi(window);
    window->awakeFromNib();
    PanelWindow* panel = window;
    if (hasPlatform() && platform().panelSurface)
        panel = new SurfacePanelWindow(*window, *platform().panelSurface);
    return CoverFlowOutlets{window, ui.browserView, panel};
}

} // namespace velora
