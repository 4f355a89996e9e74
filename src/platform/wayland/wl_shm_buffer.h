#pragma once
// A wl_buffer in shared memory (wl_shm), mapped for the program to write or read. Event
// thread only, like every Wayland object.

#include <cstddef>
#include <cstdint>

struct wl_buffer;
struct wl_shm;

namespace velora::wl {

class ShmBuffer {
  public:
    // A buffer of the size and wl_shm format (4 bytes a pixel unless `stride` says more);
    // null when the memory cannot be had.
    static ShmBuffer* create(wl_shm* shm, int width, int height, uint32_t format, int stride = 0);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* buffer() const { return buffer_; }
    uint8_t* data() const { return data_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    uint32_t format() const { return format_; }
    // Whether the compositor may still read it: from attaching it to a surface until the
    // compositor releases it.
    bool busy() const { return busy_; }
    // Call when attaching it.
    void markBusy() { busy_ = true; }
    // Call when the surface it was attached to has gone.
    void markFree() { busy_ = false; }

  private:
    ShmBuffer() = default;
    wl_buffer* buffer_ = nullptr;
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    int width_ = 0, height_ = 0, stride_ = 0;
    uint32_t format_ = 0;
    bool busy_ = false;
};

} // namespace velora::wl
