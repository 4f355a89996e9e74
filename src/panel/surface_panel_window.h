#pragma once
// The switch panel where the desktop shows it from an image (platform/panel_surface.h,
// Wayland): the same panel widget as on X11, kept shown without a window of its own
// (Qt::WA_DontShowOnScreen), so that it lays out, animates and asks to be repainted as it
// would on screen. Each repaint it asks for is drawn into an image at the output's scale
// (QWidget::render, which works on any Qt platform) and handed to the port; several asked
// for before the main thread gets round to it make one image. Clicks and wheel turns on the
// shown panel come back from the port and reach the widget under them as Qt's mouse and wheel
// events, two presses close in time and place as a double click, as a window of its own would
// get them.

#include <QObject>
#include <QWidget>

#include "panel/panel_window.h"
#include "platform/panel_surface.h"

namespace velora {

class SurfacePanelWindow final : public QObject, public PanelWindow {
    Q_OBJECT
  public:
    // The widget outlives this window, or owns it (a child QObject of the widget).
    SurfacePanelWindow(QWidget& panel, PanelSurfacePort& surface);
    ~SurfacePanelWindow() override;

    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool display) override;
    // The port offers one output, the one the desktop shows the panel on.
    int screenFor(const std::optional<Rect>&) const override { return 0; }
    void centerOnScreen(int screenIndex) override;
    // The full-screen panel: the widget sized to the whole output and shown over all of it.
    // False when no output is known.
    bool coverOutput();
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    bool isVisible() const override { return visible_; }
    void setAlphaValue(double alpha) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void scheduleDraw();
    void draw();
    void deliver(const PanelPointerEvent& pointer);

    QWidget& panel_;
    PanelSurfacePort& surface_;
    Rect frame_;
    int scale_ = 1;
    PanelPlacement placement_ = PanelPlacement::Centred;
    double alpha_ = 1.0;
    bool visible_ = false;
    bool drawScheduled_ = false;
    std::optional<PanelPointerEvent> lastPress_; // the press a next one may make a double click with
};

} // namespace velora
