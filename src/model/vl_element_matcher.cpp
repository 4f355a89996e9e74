// The window matcher: joins a record's accessibility window to a window-server window by
// owner, layer, exact bounds and (at level "High", and for the Finder at "TotalFinder") title;
// among equal entries the element's own window wins where the desktop knows it.
#include <limits>

#include "model/ax_read.h"
#include "model/filter_levels.h"
#include "model/known_applications.h"
#include "model/vl_element.h"
#include "platform/ax_names.h"
#include "platform/platform.h"

namespace velora {

namespace {

// The Finder's window-server frame may start below its title strip (28 points); Illustrator's
// starts 22 points lower, or 42 with its application bar.
constexpr double kFinderOffset = 28;
constexpr double kIllustratorOffset = 22;
constexpr double kIllustratorBarOffset = 42;

Rect movedDown(const Rect& r, double by) {
    return Rect{r.x, r.y + by, r.width, r.height - by};
}

} // namespace

bool VLElement::testWindow(uint32_t windowNumber) {
    Rect bounds;
    if (!windowServer().windowBounds(windowNumber, bounds)) return false;
    if (bounds.width == 0 || bounds.height == 0) return false;
    return bounds.width >= 50 || bounds.height >= 50;
}

bool VLElement::findPIDandWID(const WindowInfoList& list) {
    auto fail = [this] {
        setWid(kNoWindow);
        return false;
    };

    auto size = axread::value<Size>(element_, ax::SizeAttr);
    if (!size) return fail();
    auto position = axread::value<Point>(element_, ax::Position);
    if (!position) return fail();
    pid_t owner = 0;
    if (accessibility().getPid(element_, owner) != AXError::Success) return fail();
    setPid(owner);

    RunningApplicationRef app = workspace().runningApplicationWithProcessIdentifier(owner);
    std::string bundleId = app ? app->bundleIdentifier() : std::string();
    setEApp(app);
    setBundle(bundleId);
    std::optional<std::string> title = getTitle();
    int32_t level = effectiveFilterLevel(getFilterLevel(bundleId));

    Rect main{position->x, position->y, size->width, size->height};
    Rect second = main;
    bool useSecond = false;
    bool titleFree = false;
    if (level != kFilterLevelHigh) {
        titleFree = true;
        if (bundleId == kFinderBundle && level == kFilterLevelTotalFinder) {
            main = movedDown(second, kFinderOffset);
            useSecond = true;
            titleFree = false;
        }
    }
    const bool illustrator = bundleId == kIllustratorBundle;
    if (illustrator) {
        Rect accessibilityRect = main;
        main = movedDown(accessibilityRect, kIllustratorOffset);
        second = movedDown(accessibilityRect, kIllustratorBarOffset);
        useSecond = true;
        titleFree = true;
    }

    // Among the entries that pass, the element's own window when the desktop knows it (two
    // windows of one process may agree in bounds and title: twin maximised windows on two
    // desktops, tabs of a tiling manager); otherwise the first in list order. Illustrator
    // keeps an off-screen match only until an on-screen one turns up.
    const uint32_t own = accessibility().windowNumber(element_);
    int32_t found = 0;
    bool settled = false;
    if (list) {
        for (const WindowInfo& info : *list) {
            if (info.ownerPID != owner || info.layer != 0) continue;
            if (!(info.bounds == main) && (!useSecond || !(info.bounds == second))) continue;
            if (info.number == 0 || info.number > uint32_t(std::numeric_limits<int32_t>::max())) continue;
            if (!testWindow(info.number)) continue;
            if (!title || title->empty()) return fail();
            if (!titleFree && *title != info.name) continue;
            if (info.number == own) {
                found = int32_t(info.number);
                break;
            }
            if (settled) continue;
            found = int32_t(info.number);
            settled = !illustrator || info.isOnscreen;
            if (settled && own == 0) break;
        }
    }
    if (found == 0) return fail();
    setFrame(main);
    setWid(found); // last: readers that see the number see the fields above
    return true;
}

} // namespace velora
