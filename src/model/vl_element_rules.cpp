// The visibility rules and filter levels of window records.
#include <algorithm>

#include "model/ax_read.h"
#include "model/filter_levels.h"
#include "model/known_applications.h"
#include "model/vl_element.h"
#include "model/vl_settings.h"
#include "platform/ax_names.h"
#include "platform/platform.h"

namespace velora {

namespace {

// The spaces whose window lists the space-list rule consults.
constexpr int32_t kFirstSpace = 1;
constexpr int32_t kLastSpace = 16;

bool isFloatingOrUnknown(const std::string& subrole) {
    return subrole == ax::SubroleFloatingWindow || subrole == ax::SubroleSystemFloatingWindow ||
           subrole == ax::SubroleUnknown;
}

} // namespace

// --- filter levels

int32_t VLElement::getFilterLevel(const std::string& bundle) {
    // One snapshot: the preferences may publish a new dictionary meanwhile.
    std::shared_ptr<const FilterDictionary> filters = VLSettings::shared().filters();
    if (!bundle.empty()) {
        if (auto own = filters->find(bundle); own != filters->end()) return own->second;
        if (bundle == kFinderBundle) return kFilterLevelTotalFinder;
    }
    if (auto all = filters->find(kAllApplications); all != filters->end()) return all->second;
    return kDefaultFilterLevel;
}

int32_t VLElement::getFilterLevel() const {
    return getFilterLevel(bundle());
}

// --- window rules

bool VLElement::needsMatchingToShow() const {
    int32_t number = wid();
    return number == 0 || (number != kNoWindow && bundle() == kIllustratorBundle);
}

bool VLElement::shouldShowWindow(const WindowInfoList& list) {
    if (wid() == kNoWindow) return false;
    // Illustrator moves its window-server frame around: match it again at every showing.
    if (needsMatchingToShow() && !findPIDandWID(list)) return false;
    if (!checkIfExists()) return false;
    VLSettings& settings = VLSettings::shared();
    if (settings.ignoreHidden.load() && checkIfHidden()) return false;
    if (settings.ignoreMinimized.load() && checkIfMinimized()) return false;
    return checkIfWIDIsInWindowList();
}

bool VLElement::shouldShowWindowDisregardingOptions(const WindowInfoList& list) {
    int32_t number = wid();
    if (number == kNoWindow) return false;
    if (number == 0 && !findPIDandWID(list)) return false;
    if (!checkIfExists()) return false;
    return checkIfWIDIsInWindowList();
}

// --- existence rule

bool VLElement::checkIfExists() {
    const int32_t level = effectiveFilterLevel(getFilterLevel());
    if (level == kFilterLevelBlockAll) return false;
    TitleRead title = readTitle();
    if (!title.title || title.title->empty()) return false;
    // A hung application keeps the verdict computed while it still answered.
    const uint64_t cached = verdict_.load(std::memory_order_acquire);
    const bool cachedResult = cached >> 32;
    if (title.notResponding) return cachedResult;
    if (int32_t(uint32_t(cached)) == level) return cachedResult;

    // A hang in the middle of the reads is treated like a hang before them: caching what
    // the unanswered reads suggest would hide the window until its level changes.
    AXError error = AXError::Success;
    auto role = axread::string(element_, ax::Role, &error);
    if (error == AXError::CannotComplete) return cachedResult;
    std::optional<bool> verdict;
    if (error == AXError::Success && role != std::string(ax::RoleWindow)) {
        verdict = false;
    } else if (level == kFilterLevelLow) {
        verdict = true;
    } else {
        auto subrole = axread::string(element_, ax::Subrole, &error);
        if (error == AXError::CannotComplete) return cachedResult;
        if (subrole) {
            if (level == kFilterLevelHigh && isFloatingOrUnknown(*subrole))
                verdict = false;
            else if (*subrole == ax::SubroleStandardWindow)
                verdict = true;
        }
    }
    if (!verdict) {
        auto children = axread::elements(element_, ax::Children, &error);
        if (error == AXError::CannotComplete) return cachedResult;
        verdict = children && !children->empty();
    }
    storeVerdict(level, *verdict);
    return *verdict;
}

// --- space-list rule

bool VLElement::checkIfWIDIsInWindowList() const {
    if (bundle() != kITunesBundle) return true;
    const int32_t number = wid();
    if (number == 0 || checkIfMinimized() || checkIfHidden()) return true;
    WindowServerPort& server = windowServer();
    for (int32_t space = kFirstSpace; space <= kLastSpace; ++space) {
        std::vector<uint32_t> windows = server.spaceWindowList(space);
        if (std::find(windows.begin(), windows.end(), uint32_t(number)) != windows.end()) return true;
    }
    return false;
}

// --- element queries

bool VLElement::checkIfWindow(const AXElement& element) {
    return axread::string(element, ax::Role) == std::string(ax::RoleWindow);
}

bool VLElement::checkIfPidHasOpenWindows(pid_t pid) {
    AXElement application = accessibility().createApplication(pid);
    if (application.isNull()) return false;
    AXError error = AXError::Success;
    auto windows = axread::elements(application, ax::Windows, &error);
    if (!windows) return error == AXError::CannotComplete; // an application that does not answer
    for (const AXElement& window : *windows) {
        auto subrole = axread::string(window, ax::Subrole);
        if (subrole && (*subrole == ax::SubroleStandardWindow || *subrole == ax::SubroleDialog ||
                        *subrole == ax::SubroleSystemDialog))
            return true;
    }
    return false;
}

} // namespace velora
