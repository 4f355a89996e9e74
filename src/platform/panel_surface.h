#pragma once
// Panel-surface port: the switch panel shown by the desktop itself, as an image, where a
// toolkit window cannot be placed above every window without taking the focus (Wayland: a
// layer surface; Qt has no layer-shell integration). The panel's widgets are drawn into an
// image and handed here. Desktops whose toolkit windows can be the panel (X11) have none.

#include <cstdint>
#include <functional>
#include <optional>

#include <QImage>

#include "platform/geometry.h"

namespace velora {

// The output the panel is shown on: its area in the desktop's logical coordinates and the
// factor between its pixels and logical ones (a buffer drawn at that factor is sharp).
struct PanelOutput {
    Rect frame;
    int scale = 1;
};

// Where an image goes on that output: centred at its own size (the panel), or over the whole
// output, above any bar (the full-screen panel; the image is drawn at the output's size).
enum class PanelPlacement { Centred, CoverOutput };

// What the pointer did on the shown panel: a press or release of its primary button, or a turn
// of its wheel. Where, in the panel's logical coordinates from its top-left corner, and when,
// in milliseconds of the desktop's clock. A turn is in Qt's units (eighths of a degree, 120 a
// notch), positive up and left, as QWheelEvent::angleDelta().
struct PanelPointerEvent {
    enum class Kind { Press, Release, Wheel };
    Kind kind = Kind::Press;
    Point location;
    uint32_t time = 0;
    Point wheelAngle; // Wheel only
};

class PanelSurfacePort {
  public:
    virtual ~PanelSurfacePort() = default;
    // The output the desktop shows the panel on (the focused one); none when none is known.
    virtual std::optional<PanelOutput> panelOutput() = 0;
    // Shows the image on that output as placed, above every window, without taking the
    // keyboard; a later image replaces it. Its logical size is its pixel size divided by its
    // device pixel ratio, which is the output's scale. Any thread.
    virtual void present(const QImage& image, PanelPlacement placement) = 0;
    // Takes the panel off the screen. Any thread.
    virtual void withdraw() = 0;
    // Who hears the pointer on the panel (none: empty); called on the desktop's thread, never
    // again once this returns. Any thread.
    virtual void setPointerHandler(std::function<void(const PanelPointerEvent&)> handler) = 0;
};

} // namespace velora
