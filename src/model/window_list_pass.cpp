#include "model/window_list_pass.h"

#include "platform/platform.h"

namespace velora {

const WindowInfoList& WindowListPass::fetchIf(bool needed) {
    if (needed && !fetched_) {
        fetched_ = true;
        list_ = windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    }
    return list_;
}

} // namespace velora
