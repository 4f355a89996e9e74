#pragma once
// The beep of a desktop without a bell for clients (Wayland): the "bell-window-system" event
// of the desktop's sound theme (XDG sound theme specification; the freedesktop theme's
// bell.oga), played through libcanberra. libcanberra is loaded when the first beep comes: a
// machine without it, without a sound theme or without a sound server stays silent, and the
// program does not depend on it.

#include <mutex>

#include "platform/services.h"

namespace velora {

class ThemeSound final : public SoundPort {
  public:
    ThemeSound() = default;
    ~ThemeSound() override;
    ThemeSound(const ThemeSound&) = delete;
    ThemeSound& operator=(const ThemeSound&) = delete;

    // Any thread; returns at once (the sound plays on libcanberra's own threads).
    void beep() override;

  private:
    struct Canberra;
    bool load(); // under mutex_
    std::mutex mutex_;
    bool tried_ = false;
    Canberra* canberra_ = nullptr;
};

} // namespace velora
