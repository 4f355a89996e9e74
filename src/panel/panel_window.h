#pragma once
// What the switch panel controller needs of its window: a borderless, non-activating panel
// above normal and floating windows, on every desktop. The Qt panel window implements it.

#include "platform/geometry.h"

namespace velora {

class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    // In screen coordinates, top-left origin.
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame, bool display) = 0;
    // Centres the window on its screen.
    virtual void center() = 0;
    // Shows the window in front and gives it the keyboard, without taking activation from
    // the application that has it.
    virtual void makeKeyAndOrderFront() = 0;
    virtual void orderOut() = 0;
    virtual bool isVisible() const = 0;
    virtual void setAlphaValue(double alpha) = 0;
};

} // namespace velora
