#include "panel/cover_flow_loader.h"

#include "ui_CoverFlow.h"

namespace velora {

CoverFlowOutlets loadCoverFlow() {
    auto* window = new MAWindow;
    Ui::CoverFlow ui;
    ui.setupUi(window);
    window->awakeFromNib();
    return CoverFlowOutlets{window, ui.browserView};
}

} // namespace velora
