#pragma once
// One candidate of a switch: a running application (the application mode) or a window record
// (the two window modes). Position 0 of a candidate list is the application or window in
// front now. The empty alternative stands for anything else a list may carry; the panel and
// the quick switch skip it, as they skip null references.

#include <variant>
#include <vector>

#include "model/vl_element.h"
#include "platform/workspace.h"

namespace velora {

using VLCandidate = std::variant<std::monostate, RunningApplicationRef, VLElementRef>;
using VLCandidateList = std::vector<VLCandidate>;

} // namespace velora
