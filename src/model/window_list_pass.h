#pragma once
// The window server's window list for one pass over many records (a switch filling its
// candidates, windowsForPID, the panel): fetched at most once per pass, and only when the
// first record that needs matching comes up. Records before that get no list, which they do
// not need. The list is released with the pass.
//
//     WindowListPass pass;
//     for (auto& record : records)
//         if (record->shouldShowWindow(pass.forShouldShowWindow(*record))) ...

#include "model/vl_element.h"
#include "platform/window_server.h"

namespace velora {

class WindowListPass {
  public:
    // The list to hand to record.shouldShowWindow(): fetched now if the record will match.
    const WindowInfoList& forShouldShowWindow(const VLElement& record) {
        return fetchIf(record.needsMatchingToShow());
    }
    // The list to hand to record.shouldShowWindowDisregardingOptions().
    const WindowInfoList& forDisregardingOptions(const VLElement& record) {
        return fetchIf(record.needsMatching());
    }

    // Whether the pass has asked the window server (a failed fetch counts: it is not retried).
    bool fetched() const { return fetched_; }

  private:
    const WindowInfoList& fetchIf(bool needed);

    WindowInfoList list_;
    bool fetched_ = false;
};

} // namespace velora
