#pragma once
// What the switch panel controller needs of its window: a borderless, non-activating panel
// above normal and floating windows, on every desktop. The Qt panel window implements it.

#include <optional>

#include "platform/geometry.h"

namespace velora {

class PanelWindow {
  public:
    virtual ~PanelWindow() = default;
    // In screen coordinates, top-left origin.
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame, bool display) = 0;
    // The index, in the platform's screen list, of the monitor the panel belongs on: the one
    // holding most of the focused window (its frame in window-server coordinates, when known),
    // else the pointer's, else the primary.
    virtual int screenFor(const std::optional<Rect>& focusedWindow) const = 0;
    // Centres the window on that monitor's free area, wholly inside it (a frame larger than
    // the area is cut down to it).
    virtual void centerOnScreen(int screenIndex) = 0;
    // Shows the window in front and gives it the keyboard, without taking activation from
    // the application that has it.
    virtual void makeKeyAndOrderFront() = 0;
    virtual void orderOut() = 0;
    virtual bool isVisible() const = 0;
    virtual void setAlphaValue(double alpha) = 0;
};

} // namespace velora
