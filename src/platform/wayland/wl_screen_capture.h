#pragma once
// Window pictures through zwlr_screencopy_manager_v1: when a switch begins, before the panel
// can cover anything, each output's pixels are read once, and each window then visible is
// cut from its output by the rectangle the compositor's IPC gives it. A window not visible
// then keeps the version of the last reading that saw it, so the pictures kept for it stay
// current; it has no new picture (the application's icon shows until one is kept).
//
// The reading is started and answered on the event thread; pictures and versions are asked
// for on any thread, and wait (at most a second) for a reading in progress.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include <QImage>

#include "platform/geometry.h"
#include "platform/wayland/wl_shm_buffer.h"

struct wl_output;
struct wl_shm;
struct zwlr_screencopy_frame_v1;
struct zwlr_screencopy_manager_v1;

namespace velora::wl {

// The part of a reading of an output that a window covers, at the given size: the
// window's rectangle and the output's in the same logical coordinates; null when the window
// lies outside the output.
QImage cutWindow(const QImage& output, const Rect& outputFrame, const Rect& window, Size size);

class ScreenCapture {
  public:
    struct Output {
        wl_output* output = nullptr;
        Rect frame; // logical
    };

    ScreenCapture(wl_shm* shm, zwlr_screencopy_manager_v1* manager);
    ~ScreenCapture();
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    // Event thread. A new reading begins: pictures and versions wait for it from now on.
    void begin();
    // Reads the outputs for the windows visible now (with their rectangles); the windows no
    // longer `known` lose their version, so their kept pictures can go.
    void read(std::map<uint32_t, Rect> windows, const std::set<uint32_t>& known,
              const std::vector<Output>& outputs);

    // Any thread.
    QImage picture(uint32_t window, Size size);
    std::optional<uint64_t> version(uint32_t window);

    // Listener entry points (event thread).
    struct Frame;
    void frameBuffer(Frame* frame, uint32_t format, uint32_t width, uint32_t height, uint32_t stride);
    void frameReady(Frame* frame);
    void frameFailed(Frame* frame);

  private:
    void finish(Frame* frame, QImage image);

    wl_shm* shm_;
    zwlr_screencopy_manager_v1* manager_;
    std::vector<std::unique_ptr<Frame>> frames_; // event thread

    mutable std::mutex mutex_;
    std::condition_variable done_;
    uint64_t generation_ = 0;
    int pending_ = 0; // outputs still being read; -1 until the windows and outputs are known
    std::map<uint32_t, Rect> windows_;
    std::map<uint32_t, uint64_t> versions_;
    std::vector<std::pair<Rect, QImage>> outputs_; // the latest reading
};

} // namespace velora::wl
