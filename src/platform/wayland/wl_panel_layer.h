#pragma once
// The switch panel on screen: an overlay layer surface without anchors, which the compositor
// centres on its focused output, showing the image the panel was drawn into; the full-screen
// panel's surface is anchored to every edge of that output instead, so that it covers it.
// The pointer's button and wheel on it are the panel's (the session hands them on). It never
// takes the keyboard (the hold surface of a switch has it). A surface of its own rather than
// the hold surface: the panel comes and goes with the panel's showing, which may outlast the
// keyboard hold by the moment the activation takes, and the hold's hand-back of the keyboard
// (docs/wayland.md) stays as it is.
// Event thread only.

#include <memory>
#include <vector>

#include <QImage>

#include "platform/wayland/wl_shm_buffer.h"

struct wl_compositor;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace velora::wl {

class PanelLayer {
  public:
    PanelLayer(wl_compositor* compositor, wl_shm* shm, zwlr_layer_shell_v1* layerShell)
        : compositor_(compositor), shm_(shm), layerShell_(layerShell) {}
    ~PanelLayer();
    PanelLayer(const PanelLayer&) = delete;
    PanelLayer& operator=(const PanelLayer&) = delete;

    // Shows the image (its device pixel ratio is the buffer scale), replacing the last one;
    // over the whole output when it covers it (the image is drawn at the output's size).
    void show(const QImage& image, bool coverOutput);
    void hide();
    bool isShown() const { return layer_ != nullptr; }
    wl_surface* surface() const { return surface_; }

    // Listener entry points.
    void configured(uint32_t serial);
    void closed() { hide(); }

  private:
    void commitImage();

    wl_compositor* compositor_;
    wl_shm* shm_;
    zwlr_layer_shell_v1* layerShell_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    bool configured_ = false;
    bool coverOutput_ = false;
    QImage image_; // the image to show
    std::vector<std::unique_ptr<ShmBuffer>> buffers_;
};

} // namespace velora::wl
