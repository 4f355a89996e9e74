#include "platform/x11/x11_pictures.h"

#include <xcb/composite.h>
#include <xcb/damage.h>

#include <algorithm>
#include <cmath>

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
    const bool ok =
        succeeded(c_, xcb_composite_redirect_subwindows_checked(c_, root_, XCB_COMPOSITE_REDIRECT_AUTOMATIC));
    // Without Damage every capture counts as needed; pictures still work.
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c_, &xcb_damage_id);
    if (ok && damage && damage->present) {
        auto dv = takeReply(c_, xcb_damage_query_version(c_, 1, 1), xcb_damage_query_version_reply);
        if (dv) damageEvent_.store(uint8_t(damage->first_event + XCB_DAMAGE_NOTIFY));
    }
    std::lock_guard lock(mutex_);
    available_ = ok;
    return ok;
}

bool Pictures::available() const {
    std::lock_guard lock(mutex_);
    return available_;
}

void Pictures::redirect(xcb_window_t window) {
    if (!available()) return;
    // Refused (another client redirects it by hand) only means no picture of its own.
    xcb_composite_redirect_window(c_, window, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    if (!damageEvent()) return;
    std::lock_guard lock(mutex_);
    if (followed_.count(window)) return;
    const uint32_t damage = xcb_generate_id(c_);
    xcb_damage_create(c_, damage, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    followed_[window] = Followed{damage, ++versions_};
}

void Pictures::changed(xcb_window_t window) {
    if (auto it = followed_.find(window); it != followed_.end()) it->second.version = ++versions_;
}

void Pictures::damaged(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    changed(window);
}

std::optional<uint64_t> Pictures::contentsVersion(xcb_window_t window) const {
    std::lock_guard lock(mutex_);
    auto it = followed_.find(window);
    if (it == followed_.end()) return std::nullopt;
    return it->second.version;
}

void Pictures::shown(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    if (available_) stale_.insert(window); // a window shown again has a new backing pixmap
    changed(window);
}

void Pictures::hidden(xcb_window_t window) {
    std::lock_guard lock(mutex_);
    stale_.erase(window);
}

void Pictures::gone(xcb_window_t window) {
    std::shared_ptr<const Named> previous; // released after the lock
    std::lock_guard lock(mutex_);
    stale_.erase(window);
    followed_.erase(window); // the server drops the Damage object with the window
    auto it = kept_.find(window);
    if (it == kept_.end()) return;
    previous = std::move(it->second);
    kept_.erase(it);
}

bool Pictures::needsNaming(xcb_window_t window, uint16_t width, uint16_t height) const {
    std::lock_guard lock(mutex_);
    if (!available_) return false;
    if (stale_.count(window)) return true;
    auto it = kept_.find(window);
    return it == kept_.end() || it->second->width != width || it->second->height != height;
}

void Pictures::keep(xcb_window_t window, uint16_t width, uint16_t height) {
    if (!available()) return;
    const xcb_pixmap_t pixmap = xcb_generate_id(c_);
    if (!succeeded(c_, xcb_composite_name_window_pixmap_checked(c_, window, pixmap))) return; // not viewable
    auto named = std::shared_ptr<const Named>(new Named{c_, pixmap, width, height});
    std::shared_ptr<const Named> previous;
    std::lock_guard lock(mutex_);
    stale_.erase(window);
    changed(window);
    auto& slot = kept_[window];
    previous = std::move(slot);
    slot = std::move(named);
}

void Pictures::clear() {
    std::map<xcb_window_t, std::shared_ptr<const Named>> previous;
    std::lock_guard lock(mutex_);
    previous.swap(kept_);
    stale_.clear();
    followed_.clear();
}

namespace {

// The image format of a Z-pixmap reply of that depth and size; false when the reply cannot
// hold one (too short, or a depth other than 24 and 32).
bool zPixmapFormat(std::size_t length, uint16_t width, uint16_t height, uint8_t depth,
                   QImage::Format& format) {
    if (width == 0 || height == 0) return false;
    if (length < std::size_t(width) * 4 * height) return false;
    if (depth == 24)
        format = QImage::Format_RGB32;
    else if (depth == 32)
        format = QImage::Format_ARGB32_Premultiplied;
    else
        return false;
    return true;
}

// The server leaves the padding byte of a depth-24 pixel 0, but Qt's RGB32 means 0xffRRGGBB:
// drawn as it is, the picture would come out fully transparent.
void makeOpaque(uint8_t* data, std::size_t pixels) {
    auto* pixel = reinterpret_cast<uint32_t*>(data);
    for (std::size_t i = 0; i < pixels; ++i)
        pixel[i] |= 0xff000000u;
}

} // namespace

QImage imageFromZPixmap(const uint8_t* data, std::size_t length, uint16_t width, uint16_t height,
                        uint8_t depth) {
    QImage::Format format;
    if (!data || !zPixmapFormat(length, width, height, depth, format)) return {};
    QImage view(data, width, height, qsizetype(std::size_t(width) * 4), format);
    QImage image = view.copy(); // the reply's memory goes away with the reply
    if (depth == 24) makeOpaque(image.bits(), std::size_t(width) * height);
    return image;
}

QImage Pictures::read(xcb_drawable_t drawable, uint16_t width, uint16_t height) const {
    if (width == 0 || height == 0) return {};
    if (xcb_get_setup(c_)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return {};
    auto reply =
        takeReply(c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, width, height, ~0u),
                  xcb_get_image_reply);
    if (!reply) return {};
    QImage::Format format;
    if (!zPixmapFormat(std::size_t(xcb_get_image_data_length(reply.get())), width, height, reply->depth,
                       format))
        return {};
    // The image keeps the reply and frees it with its pixels, rather than copying them: a
    // picture is a quarter of a megabyte for a small window, and the copy (with the page
    // faults of its fresh memory) was most of a grab's time.
    const bool opaque = reply->depth == 24;
    xcb_get_image_reply_t* owned = reply.release();
    if (opaque) makeOpaque(xcb_get_image_data(owned), std::size_t(width) * height);
    return QImage(
        xcb_get_image_data(owned), width, height, qsizetype(std::size_t(width) * 4), format,
        [](void* r) { std::free(r); }, owned);
}

QImage Pictures::capture(xcb_window_t window, Size size) const {
    const int outWidth = int(std::lround(size.width)), outHeight = int(std::lround(size.height));
    if (outWidth < 1 || outHeight < 1) return {};
    std::shared_ptr<const Named> named;
    {
        std::lock_guard lock(mutex_);
        if (auto it = kept_.find(window); it != kept_.end()) named = it->second;
        // Repaired before the read, so that any drawing after it is reported again.
        if (auto it = followed_.find(window); it != followed_.end())
            xcb_damage_subtract(c_, it->second.damage, XCB_NONE, XCB_NONE);
    }
    QImage image;
    if (named) {
        image = read(named->pixmap, named->width, named->height);
    } else if (auto geometry = takeReply(c_, xcb_get_geometry(c_, window), xcb_get_geometry_reply)) {
        // Not named yet: the window itself, which works while it is viewable.
        image = read(window, geometry->width, geometry->height);
    }
    if (image.isNull()) return {};
    if (image.width() != outWidth || image.height() != outHeight)
        image = image.scaled(outWidth, outHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace velora::x11
