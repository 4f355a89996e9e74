#include "platform/wayland/wl_panel_layer.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/wayland/wl_trace.h"
#include "wlr-layer-shell-unstable-v1-client.h"

namespace velora::wl {

namespace {

void onConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t, uint32_t) {
    static_cast<PanelLayer*>(data)->configured(serial);
}
void onClosed(void* data, zwlr_layer_surface_v1*) {
    static_cast<PanelLayer*>(data)->closed();
}
const zwlr_layer_surface_v1_listener kListener = {onConfigure, onClosed};

int scaleOf(const QImage& image) {
    return std::max(1, int(std::lround(image.devicePixelRatio())));
}

} // namespace

PanelLayer::~PanelLayer() {
    hide();
}

void PanelLayer::show(const QImage& image, bool coverOutput) {
    if (image.isNull()) return;
    const int scale = scaleOf(image);
    const QSize logical = image.size() / scale;
    // A new size or placement makes a new surface: the compositor places a layer surface by
    // the size and anchors it configured.
    if (layer_ && (logical != image_.size() / scaleOf(image_) || coverOutput != coverOutput_)) hide();
    coverOutput_ = coverOutput;
    image_ = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (layer_) {
        if (configured_) commitImage();
        return;
    }
    trace("panel shown %dx%d at scale %d%s", logical.width(), logical.height(), scale,
          coverOutput ? " covering the output" : "");
    surface_ = wl_compositor_create_surface(compositor_);
    layer_ = zwlr_layer_shell_v1_get_layer_surface(layerShell_, surface_, nullptr,
                                                   ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "velora-panel");
    zwlr_layer_surface_v1_add_listener(layer_, &kListener, this);
    if (coverOutput) {
        // Stretched to the output by its anchors (a size of 0 asks for the whole of it).
        zwlr_layer_surface_v1_set_anchor(
            layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                        ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(layer_, 0, 0);
    } else {
        zwlr_layer_surface_v1_set_size(layer_, uint32_t(logical.width()), uint32_t(logical.height()));
    }
    // The whole output, not what bars leave of it: centred there, or covering it, bars too.
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    configured_ = false;
    wl_surface_commit(surface_);
}

void PanelLayer::hide() {
    if (!layer_) return;
    trace("panel hidden");
    zwlr_layer_surface_v1_destroy(layer_);
    wl_surface_destroy(surface_);
    layer_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    // The surface is gone: the compositor reads none of them any more.
    for (auto& b : buffers_)
        b->markFree();
}

void PanelLayer::configured(uint32_t serial) {
    if (!layer_) return;
    zwlr_layer_surface_v1_ack_configure(layer_, serial);
    configured_ = true;
    commitImage();
}

void PanelLayer::commitImage() {
    const int w = image_.width(), h = image_.height();
    // A free buffer of the size, else a new one; free ones of other sizes go.
    ShmBuffer* target = nullptr;
    std::erase_if(buffers_, [&](const std::unique_ptr<ShmBuffer>& b) {
        if (b->busy()) return false;
        if (!target && b->width() == w && b->height() == h) {
            target = b.get();
            return false;
        }
        return true;
    });
    if (!target) {
        auto made = std::unique_ptr<ShmBuffer>(ShmBuffer::create(shm_, w, h, WL_SHM_FORMAT_ARGB8888));
        if (!made) return;
        target = made.get();
        buffers_.push_back(std::move(made));
    }
    // QImage's premultiplied ARGB32 is wl_shm's ARGB8888 on little-endian machines.
    for (int y = 0; y < h; ++y)
        std::memcpy(target->data() + std::ptrdiff_t(y) * target->stride(), image_.constScanLine(y),
                    std::size_t(w) * 4);
    wl_surface_set_buffer_scale(surface_, scaleOf(image_));
    wl_surface_attach(surface_, target->buffer(), 0, 0);
    wl_surface_damage_buffer(surface_, 0, 0, w, h);
    target->markBusy();
    wl_surface_commit(surface_);
}

} // namespace velora::wl
