#include "platform/linux/theme_sound.h"

#include <dlfcn.h>

#include "platform/trace.h"

namespace velora {

// The few libcanberra calls the beep needs (canberra.h), looked up at run time.
struct ThemeSound::Canberra {
    using Create = int (*)(void**);
    using ChangeProps = int (*)(void*, ...);
    using Play = int (*)(void*, unsigned, ...);
    using Destroy = int (*)(void*);
    void* context = nullptr;
    Play play = nullptr;
    Destroy destroy = nullptr;
};

ThemeSound::~ThemeSound() {
    if (!canberra_) return;
    canberra_->destroy(canberra_->context);
    // The library stays loaded: its threads may still be ending.
    delete canberra_;
}

bool ThemeSound::load() {
    if (tried_) return canberra_ != nullptr;
    tried_ = true;
    void* library = ::dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) return false;
    auto create = reinterpret_cast<Canberra::Create>(::dlsym(library, "ca_context_create"));
    auto change = reinterpret_cast<Canberra::ChangeProps>(::dlsym(library, "ca_context_change_props"));
    auto play = reinterpret_cast<Canberra::Play>(::dlsym(library, "ca_context_play"));
    auto destroy = reinterpret_cast<Canberra::Destroy>(::dlsym(library, "ca_context_destroy"));
    void* context = nullptr;
    if (!create || !change || !play || !destroy || create(&context) != 0 || !context) return false;
    change(context, "application.name", "Velora", "application.id", "velora",
           static_cast<const char*>(nullptr));
    canberra_ = new Canberra{context, play, destroy};
    return true;
}

void ThemeSound::beep() {
    trace::mark("beep");
    std::lock_guard lock(mutex_);
    if (!load()) return;
    // Fails quietly without a sound server or a theme: nothing else could be done about it.
    canberra_->play(canberra_->context, 0, "event.id", "bell-window-system", "event.description",
                    "Velora cannot do that here", static_cast<const char*>(nullptr));
}

} // namespace velora
