#include "platform/x11/x11_pictures.h"

#include <xcb/composite.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/x11/x11_reply.h"

namespace velora::x11 {

Pictures::Named::~Named() {
    xcb_free_pixmap(c, pixmap);
    xcb_flush(c);
}

bool Pictures::start() {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_composite_id);
    if (!ext || !ext->present) return false;
    auto version = takeReply(c_, xcb_composite_query_version(c_, 0, 2), xcb_composite_query_version_reply);
    if (!version || (version->major_version == 0 && version->minor_version < 2)) return false;
    const bool ok = succeeded(c_, xcb_composite_redirect_subwindows_checked(c_, root_, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    std::lock_guard lock(mutex_);
    available_ = ok;
    return ok;
}

bool Pictures::available() const {
    std::lock_guard lock(mutex_);
    return available_;
}

void Pictures::name(xcb_window_t frame, uint16_t width, uint16_t height) {
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    const bool ok = succeeded(c_, xcb_composite_name_window_pixmap_checked(c_, frame, pixmap));
    std::shared_ptr<const Named> named;
    if (ok) named = std::shared_ptr<const Named>(new Named{c_, pixmap, width, height});
    std::shared_ptr<const Named> previous;  // released outside the lock
    std::lock_guard lock(mutex_);
    if (!named) return;  // not viewable after all: keep what there was
    stale_.erase(frame);
    auto& slot = kept_[frame];
    previous = std::move(slot);
    slot = std::move(named);
}

void Pictures::frameShown(xcb_window_t frame) {
    std::lock_guard lock(mutex_);
    if (!available_) return;
    shown_.insert(frame);
    stale_.insert(frame);  // a frame shown again has a new backing pixmap
}

bool Pictures::needsNaming(xcb_window_t frame, uint16_t width, uint16_t height) const {
    std::lock_guard lock(mutex_);
    if (!available_ || !shown_.count(frame)) return false;
    if (stale_.count(frame)) return true;
    auto it = kept_.find(frame);
    return it == kept_.end() || it->second->width != width || it->second->height != height;
}

void Pictures::keep(xcb_window_t frame, uint16_t width, uint16_t height) {
    {
        std::lock_guard lock(mutex_);
        if (!available_ || !shown_.count(frame)) return;
    }
    name(frame, width, height);
}

void Pictures::frameHidden(xcb_window_t frame) {
    std::lock_guard lock(mutex_);
    shown_.erase(frame);
    stale_.erase(frame);
}

void Pictures::frameGone(xcb_window_t frame) {
    std::shared_ptr<const Named> previous;
    std::lock_guard lock(mutex_);
    shown_.erase(frame);
    stale_.erase(frame);
    auto it = kept_.find(frame);
    if (it == kept_.end()) return;
    previous = std::move(it->second);
    kept_.erase(it);
}

void Pictures::clear() {
    std::map<xcb_window_t, std::shared_ptr<const Named>> previous;
    std::lock_guard lock(mutex_);
    previous.swap(kept_);
    shown_.clear();
    stale_.clear();
}

QImage imageFromZPixmap(const uint8_t* data, std::size_t length, uint16_t width, uint16_t height, uint8_t depth) {
    if (!data || width == 0 || height == 0) return {};
    const std::size_t stride = std::size_t(width) * 4;
    if (length < stride * height) return {};
    QImage::Format format;
    if (depth == 24) format = QImage::Format_RGB32;
    else if (depth == 32) format = QImage::Format_ARGB32_Premultiplied;
    else return {};
    QImage view(data, width, height, qsizetype(stride), format);
    return view.copy();  // the reply's memory goes away with the reply
}

QImage Pictures::read(xcb_drawable_t drawable, int16_t x, int16_t y, uint16_t width, uint16_t height) const {
    if (width == 0 || height == 0) return {};
    const xcb_setup_t* setup = xcb_get_setup(c_);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return {};
    auto reply = takeReply(c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, x, y, width, height, ~0u),
                           xcb_get_image_reply);
    if (!reply) return {};
    return imageFromZPixmap(xcb_get_image_data(reply.get()), std::size_t(xcb_get_image_data_length(reply.get())),
                            width, height, reply->depth);
}

QImage Pictures::capture(xcb_window_t client, xcb_window_t frame, Size size) const {
    const int outWidth = int(std::lround(size.width)), outHeight = int(std::lround(size.height));
    if (outWidth < 1 || outHeight < 1) return {};
    std::shared_ptr<const Named> named;
    {
        std::lock_guard lock(mutex_);
        if (auto it = kept_.find(frame); it != kept_.end()) named = it->second;
    }
    auto geometryCookie = xcb_get_geometry(c_, client);
    auto offsetCookie = xcb_translate_coordinates(c_, client, frame != 0 ? frame : client, 0, 0);
    auto geometry = takeReply(c_, geometryCookie, xcb_get_geometry_reply);
    auto offset = takeReply(c_, offsetCookie, xcb_translate_coordinates_reply);
    if (!geometry) return {};

    QImage image;
    if (named && offset && frame != client) {
        // The client's part of the frame's pixmap, as much of it as the pixmap holds.
        const int x = std::max<int>(0, offset->dst_x), y = std::max<int>(0, offset->dst_y);
        const int w = std::min<int>(geometry->width, named->width - x);
        const int h = std::min<int>(geometry->height, named->height - y);
        if (w > 0 && h > 0) image = read(named->pixmap, int16_t(x), int16_t(y), uint16_t(w), uint16_t(h));
    } else if (named && frame == client) {
        image = read(named->pixmap, 0, 0, std::min(geometry->width, named->width),
                     std::min(geometry->height, named->height));
    }
    if (image.isNull()) image = read(client, 0, 0, geometry->width, geometry->height);
    if (image.isNull()) return {};
    if (image.width() != outWidth || image.height() != outHeight)
        image = image.scaled(outWidth, outHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace velora::x11
