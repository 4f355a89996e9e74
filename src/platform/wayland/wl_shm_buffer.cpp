#include "platform/wayland/wl_shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace velora::wl {

namespace {

void onRelease(void* data, wl_buffer*) {
    *static_cast<bool*>(data) = false;
}
const wl_buffer_listener kReleaseListener = {onRelease};

} // namespace

ShmBuffer* ShmBuffer::create(wl_shm* shm, int width, int height, uint32_t format, int stride) {
    if (!shm || width <= 0 || height <= 0) return nullptr;
    if (stride <= 0) stride = width * 4;
    const std::size_t size = std::size_t(stride) * std::size_t(height);
    const int fd = memfd_create("velora-buffer", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    void* data = MAP_FAILED;
    if (ftruncate(fd, off_t(size)) == 0)
        data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    auto* b = new ShmBuffer;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
    b->buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
    wl_shm_pool_destroy(pool);
    ::close(fd);
    wl_buffer_add_listener(b->buffer_, &kReleaseListener, &b->busy_);
    b->data_ = static_cast<uint8_t*>(data);
    b->size_ = size;
    b->width_ = width;
    b->height_ = height;
    b->stride_ = stride;
    b->format_ = format;
    return b;
}

ShmBuffer::~ShmBuffer() {
    if (buffer_) wl_buffer_destroy(buffer_);
    if (data_) ::munmap(data_, size_);
}

} // namespace velora::wl
