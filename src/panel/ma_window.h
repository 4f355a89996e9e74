#pragma once
// The switch panel's window: frameless, never activated (neither by showing nor by a click),
// outside taskbars, pagers and the window manager's client list, above normal and floating
// windows and on every desktop. On X11 all of this is one override-redirect window with
// stays-on-top, which the window manager leaves alone (docs/panel-window.md has the details
// and what openbox and fluxbox make of the alternatives).
//
// The window never grabs the keyboard: the switcher's keys arrive through its passive key
// grabs on another X connection, and an active grab here would stop them. "Key" therefore
// means shown in front; the previously active window keeps its focus.
//
// Its background is translucent where a compositing manager runs, else an opaque rounded
// plate (the corners cut by a window shape). Accessibility clients are shown nothing: the
// window reports no role, no name, no children and the invisible state; the Qt accessibility
// bridge offers no stronger way to leave a window out.

#include <QWidget>

#include "panel/panel_window.h"

namespace velora {

class MAWindow : public QWidget, public PanelWindow {
    Q_OBJECT
  public:
    // Always a top-level window; a parent is ignored, as are the flags an interface file sets.
    explicit MAWindow(QWidget* parent = nullptr);

    // The settings after the interface file was loaded: hidden, the panel's window flags
    // again, the background for the current compositing state.
    void awakeFromNib();

    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    int screenFor(const std::optional<Rect>& focusedWindow) const override;
    void centerOnScreen(int screenIndex) override;
    // Shows the window in front (show and raise) without activating it or grabbing keys.
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    bool isVisible() const override { return QWidget::isVisible(); }
    void setAlphaValue(double alpha) override;
    double alphaValue() const { return windowOpacity(); }

    // Whether the background is drawn translucent (a compositing manager was running when
    // the window was last shown from hidden).
    bool isTranslucent() const { return translucent_; }

    static Qt::WindowFlags panelFlags();

    // Showing re-asserts the panel's flags, whatever was set since.
    void setVisible(bool visible) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void applyPanelFlags();
    void updateTranslucency();
    void updateShape();

    bool translucent_ = false;
};

} // namespace velora
