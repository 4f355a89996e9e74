#include "platform/wayland/wl_screen_capture.h"

#include <wayland-client.h>

#include <chrono>
#include <cmath>

#include "platform/wayland/wl_trace.h"
#include "wlr-screencopy-unstable-v1-client.h"

namespace velora::wl {

struct ScreenCapture::Frame {
    ScreenCapture* owner = nullptr;
    zwlr_screencopy_frame_v1* frame = nullptr;
    Rect outputFrame;
    std::unique_ptr<ShmBuffer> buffer;
    bool yInverted = false;
    uint64_t generation = 0; // the reading it belongs to: a late frame of an earlier one is dropped
};

namespace {

constexpr auto kWaitLimit = std::chrono::seconds(1);

void onBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
              uint32_t stride) {
    auto* f = static_cast<ScreenCapture::Frame*>(data);
    f->owner->frameBuffer(f, format, width, height, stride);
}
void onFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<ScreenCapture::Frame*>(data)->yInverted =
        (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}
void onReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    auto* f = static_cast<ScreenCapture::Frame*>(data);
    f->owner->frameReady(f);
}
void onFailed(void* data, zwlr_screencopy_frame_v1*) {
    auto* f = static_cast<ScreenCapture::Frame*>(data);
    f->owner->frameFailed(f);
}
// Events of later versions (the manager is bound at version 1).
void onDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void onBufferDone(void*, zwlr_screencopy_frame_v1*) {}
const zwlr_screencopy_frame_v1_listener kFrameListener = {onBuffer, onFlags,  onReady,     onFailed,
                                                          onDamage, onDmabuf, onBufferDone};

QImage::Format qtFormat(uint32_t shmFormat) {
    switch (shmFormat) {
    case WL_SHM_FORMAT_ARGB8888:
        return QImage::Format_ARGB32_Premultiplied;
    case WL_SHM_FORMAT_XRGB8888:
        return QImage::Format_RGB32;
    case WL_SHM_FORMAT_ABGR8888:
        return QImage::Format_RGBA8888_Premultiplied;
    case WL_SHM_FORMAT_XBGR8888:
        return QImage::Format_RGBX8888;
    default:
        return QImage::Format_Invalid;
    }
}

} // namespace

QImage cutWindow(const QImage& output, const Rect& outputFrame, const Rect& window, Size size) {
    if (output.isNull() || outputFrame.width <= 0 || outputFrame.height <= 0) return {};
    const double sx = output.width() / outputFrame.width, sy = output.height() / outputFrame.height;
    const QRect part = QRect(int(std::lround((window.x - outputFrame.x) * sx)),
                             int(std::lround((window.y - outputFrame.y) * sy)),
                             int(std::lround(window.width * sx)), int(std::lround(window.height * sy)))
                           .intersected(output.rect());
    if (part.width() < 2 || part.height() < 2) return {};
    const int w = std::max(1, int(std::lround(size.width))), h = std::max(1, int(std::lround(size.height)));
    return output.copy(part)
        .scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

ScreenCapture::ScreenCapture(wl_shm* shm, zwlr_screencopy_manager_v1* manager)
    : shm_(shm), manager_(manager) {}

ScreenCapture::~ScreenCapture() {
    for (auto& f : frames_)
        zwlr_screencopy_frame_v1_destroy(f->frame);
}

void ScreenCapture::begin() {
    std::lock_guard lock(mutex_);
    ++generation_;
    windows_.clear();
    outputs_.clear();
    pending_ = -1;
}

void ScreenCapture::read(std::map<uint32_t, Rect> windows, const std::set<uint32_t>& known,
                         const std::vector<Output>& outputs) {
    uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        generation = generation_;
        std::erase_if(versions_, [&known](const auto& entry) { return !known.contains(entry.first); });
        for (const auto& [number, rect] : windows)
            versions_[number] = generation;
        windows_ = std::move(windows);
    }
    int started = 0;
    for (const Output& o : outputs) {
        if (!o.output || !manager_) continue;
        auto f = std::make_unique<Frame>();
        f->owner = this;
        f->outputFrame = o.frame;
        f->generation = generation;
        f->frame = zwlr_screencopy_manager_v1_capture_output(manager_, 0, o.output);
        zwlr_screencopy_frame_v1_add_listener(f->frame, &kFrameListener, f.get());
        frames_.push_back(std::move(f));
        ++started;
    }
    trace("reading %d outputs for pictures", started);
    std::lock_guard lock(mutex_);
    pending_ = started;
    if (started == 0) done_.notify_all();
}

void ScreenCapture::frameBuffer(Frame* f, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
    if (f->buffer) return;
    // Version 1 offers one buffer: in a format Qt cannot read, the output is not read at all
    // (left pending, every picture would wait out its limit).
    if (qtFormat(format) == QImage::Format_Invalid) return frameFailed(f);
    f->buffer.reset(ShmBuffer::create(shm_, int(width), int(height), format, int(stride)));
    if (f->buffer)
        zwlr_screencopy_frame_v1_copy(f->frame, f->buffer->buffer());
    else
        frameFailed(f);
}

void ScreenCapture::frameReady(Frame* f) {
    QImage image;
    if (const ShmBuffer* b = f->buffer.get()) {
        image = QImage(b->data(), b->width(), b->height(), b->stride(), qtFormat(b->format())).copy();
        if (f->yInverted) image = image.mirrored(false, true);
    }
    trace("an output was read");
    finish(f, std::move(image));
}

void ScreenCapture::frameFailed(Frame* f) {
    trace("an output could not be read");
    finish(f, {});
}

void ScreenCapture::finish(Frame* f, QImage image) {
    const Rect frame = f->outputFrame;
    const uint64_t generation = f->generation;
    zwlr_screencopy_frame_v1_destroy(f->frame);
    std::erase_if(frames_, [f](const std::unique_ptr<Frame>& p) { return p.get() == f; });
    std::lock_guard lock(mutex_);
    if (generation != generation_) return;
    if (!image.isNull()) outputs_.emplace_back(frame, std::move(image));
    if (pending_ > 0 && --pending_ == 0) done_.notify_all();
}

QImage ScreenCapture::picture(uint32_t window, Size size) {
    std::unique_lock lock(mutex_);
    const bool read = done_.wait_for(lock, kWaitLimit, [this] { return pending_ == 0; });
    auto it = windows_.find(window);
    trace("picture of %u: %s", window,
          !read                  ? "the reading is late"
          : it == windows_.end() ? "not visible"
                                 : "cut");
    if (it == windows_.end()) return {};
    const Rect rect = it->second;
    const Point centre{rect.x + rect.width / 2, rect.y + rect.height / 2};
    for (const auto& [frame, image] : outputs_) {
        if (centre.x < frame.x || centre.y < frame.y || centre.x >= frame.x + frame.width ||
            centre.y >= frame.y + frame.height)
            continue;
        // Copies that share the pixels: the cut is made outside the lock.
        const QImage output = image;
        const Rect outputFrame = frame;
        lock.unlock();
        return cutWindow(output, outputFrame, rect, size);
    }
    return {};
}

std::optional<uint64_t> ScreenCapture::version(uint32_t window) {
    std::unique_lock lock(mutex_);
    // Which windows the reading sees is known a moment after it begins.
    if (!done_.wait_for(lock, kWaitLimit, [this] { return pending_ != -1; }))
        trace("version of %u: the reading is late", window);
    auto it = versions_.find(window);
    if (it == versions_.end()) return std::nullopt;
    return it->second;
}

} // namespace velora::wl
