#pragma once
// Window-server port of the X11 desktop. The window list is the root's children front to
// back: a frame stands for the managed window it holds (number = the client window, the
// owner from the cache, layer 0 unless a dock, a desktop or kept above), and a shown
// override-redirect window (menus, tips, panels) is listed on the pop-up layer. Bounds are
// the client's own area in root coordinates; on-screen means viewable on the current
// desktop. Spaces are the EWMH desktops numbered from 1; a window on every desktop is on the
// current one. Pictures come through Composite (Pictures).

#include <memory>

#include "platform/window_server.h"

namespace velora::x11 {

struct X11Context;

class X11WindowServer final : public WindowServerPort {
  public:
    explicit X11WindowServer(std::shared_ptr<X11Context> context) : x_(std::move(context)) {}

    WindowInfoList copyWindowInfo(uint32_t option, uint32_t relativeToWindow) override;
    bool windowBounds(uint32_t windowNumber, Rect& out) override;
    int32_t windowSpace(uint32_t windowNumber) override;
    std::vector<uint32_t> spaceWindowList(int32_t space) override;
    QImage captureWindow(uint32_t windowNumber, Size size) override;
    std::optional<uint64_t> windowContentsVersion(uint32_t windowNumber) override;
    // One round trip: asked when the panel is about to show, so a compositor started or
    // ended meanwhile is seen without watching the selection.
    bool compositingActive() override;
    // Flushes Qt's own connection (which unmapped the window), then asks the server whether
    // the window is still mapped, again after each unmap the event loop sees.
    void willTakeOffScreen(uint32_t windowNumber) override;
    bool waitUntilOffScreen(uint32_t windowNumber, double timeout) override;

  private:
    std::shared_ptr<X11Context> x_;
};

} // namespace velora::x11
