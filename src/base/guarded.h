#pragma once
// A value that one thread replaces while others read it, for types an atomic cannot hold
// (strings, shared pointers, rectangles). Reads copy the whole value and writes replace it,
// each under the value's own small lock, so no reader sees half of a write.

#include <mutex>
#include <utility>

namespace velora {

template <typename T> class Guarded {
  public:
    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void set(T value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

  private:
    mutable std::mutex mutex_;
    T value_{};
};

} // namespace velora
