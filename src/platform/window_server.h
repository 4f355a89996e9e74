#pragma once
// Window-server port: the desktop's windows as numbers with owner, layer, bounds and name,
// their spaces, and copies of their pixels.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QImage>

#include "platform/geometry.h"

namespace velora {

// One entry of the window list (the window-information dictionary).
struct WindowInfo {
    uint32_t number = 0;     // kCGWindowNumber
    pid_t ownerPID = 0;      // kCGWindowOwnerPID
    int32_t layer = 0;       // kCGWindowLayer: 0 for normal windows
    Rect bounds;             // kCGWindowBounds, top-left screen space
    std::string name;        // kCGWindowName (empty when the window has none)
    bool isOnscreen = false; // kCGWindowIsOnscreen
};

// A fetched window list. Immutable; released when the last holder lets go.
using WindowInfoList = std::shared_ptr<const std::vector<WindowInfo>>;

// Options of copyWindowInfo.
inline constexpr uint32_t kWindowListOptionAll = 0;
inline constexpr uint32_t kWindowListExcludeDesktopElements = 16;
inline constexpr uint32_t kNullWindowID = 0;

// Keys of windowLevelForKey.
inline constexpr int kNormalWindowLevelKey = 4;
inline constexpr int kFloatingWindowLevelKey = 5;
inline constexpr int kStatusWindowLevelKey = 9;
// The levels the desktop backends report for them, on the scale of the window list's layers
// (WindowInfo::layer): normal windows 0, windows kept above 3, status windows 25.
inline constexpr int32_t kFloatingWindowLevel = 3;
inline constexpr int32_t kStatusWindowLevel = 25;

class WindowServerPort {
  public:
    virtual ~WindowServerPort() = default;

    // Front to back. Null when the list cannot be had.
    virtual WindowInfoList copyWindowInfo(uint32_t option, uint32_t relativeToWindow) = 0;

    // Bounds of a window by number; false when the window is unknown.
    virtual bool windowBounds(uint32_t windowNumber, Rect& out) = 0;
    // The space (virtual desktop, numbered from 1) of a window; 0 or negative when it has none.
    virtual int32_t windowSpace(uint32_t windowNumber) = 0;
    // Numbers of the windows on one space, in no particular order; empty for an unknown space.
    virtual std::vector<uint32_t> spaceWindowList(int32_t space) = 0;
    // A copy of the window's current pixels at the given size in points; null when the window
    // cannot be pictured (gone, unmapped without a kept picture, too small).
    virtual QImage captureWindow(uint32_t windowNumber, Size size) = 0;
    // A number that changes whenever the window's pixels may have changed (it drew, was
    // resized, was shown again), so that a picture captured under the same number is still
    // what the window shows. Learning of a change reads nothing. Nullopt when the backend
    // does not follow the window's changes: then only a new capture is current.
    virtual std::optional<uint64_t> windowContentsVersion(uint32_t windowNumber) {
        (void)windowNumber;
        return std::nullopt;
    }

    virtual int32_t windowLevelForKey(int key) {
        switch (key) {
        case kFloatingWindowLevelKey:
            return kFloatingWindowLevel;
        case kStatusWindowLevelKey:
            return kStatusWindowLevel;
        default:
            return 0;
        }
    }

    // Whether a compositing manager blends translucent windows with what lies under them
    // (X11: the _NET_WM_CM_S<screen> selection has an owner). Without one, translucent
    // pixels show as black, so windows draw an opaque background instead.
    virtual bool compositingActive() { return false; }

    // Before this program hides one of its own windows: what the window manager reports
    // active from now until this program's next activation request (at most a second) is
    // passing, caused by the hiding, and not taken for the active window or for recent use
    // (X11: the window under the pointer is entered as the window goes, and a manager whose
    // focus follows the mouse focuses it, possibly before the activation request is sent).
    virtual void willTakeOffScreen(uint32_t windowNumber) { (void)windowNumber; }

    // After this program hid one of its own windows: returns once the window server has
    // taken it off the screen, so that what that causes comes before any request sent
    // afterwards (X11: the window under the pointer is entered, and a manager whose focus
    // follows the mouse focuses it; an activation sent after it wins). False when the
    // window is still on screen after `timeout` seconds.
    virtual bool waitUntilOffScreen(uint32_t windowNumber, double timeout) {
        (void)windowNumber;
        (void)timeout;
        return true;
    }
};

} // namespace velora
