#pragma once
// The set of ports the system runs on. One backend is chosen at start-up (the X11 desktop in
// the program, the simulated desktop in tests) and installed here; the system's code reaches
// the desktop only through these ports.

#include "platform/accessibility.h"
#include "platform/input.h"
#include "platform/main_thread.h"
#include "platform/panel_surface.h"
#include "platform/services.h"
#include "platform/window_server.h"
#include "platform/workspace.h"

namespace velora {

struct Platform {
    AccessibilityPort* accessibility = nullptr;
    WindowServerPort* windowServer = nullptr;
    WorkspacePort* workspace = nullptr;
    InputPort* input = nullptr;
    LoginItemsPort* loginItems = nullptr;
    ScriptingPort* scripting = nullptr;
    MainThreadPort* mainThread = nullptr;
    HttpPort* http = nullptr;
    SoundPort* sound = nullptr;
    // Only where the panel cannot be a toolkit window (Wayland); null elsewhere.
    PanelSurfacePort* panelSurface = nullptr;
};

// Installs the backend's ports; nullptr uninstalls. Not thread-safe: done once, before any
// other thread of the system starts, and undone after they have ended.
void installPlatform(const Platform* ports);
// The installed ports; aborts with a message when none are installed.
const Platform& platform();
bool hasPlatform();

inline AccessibilityPort& accessibility() {
    return *platform().accessibility;
}
inline WindowServerPort& windowServer() {
    return *platform().windowServer;
}
inline WorkspacePort& workspace() {
    return *platform().workspace;
}
inline InputPort& input() {
    return *platform().input;
}
inline LoginItemsPort& loginItems() {
    return *platform().loginItems;
}
inline ScriptingPort& scripting() {
    return *platform().scripting;
}
inline MainThreadPort& mainThread() {
    return *platform().mainThread;
}
inline HttpPort& http() {
    return *platform().http;
}
inline SoundPort& sound() {
    return *platform().sound;
}

} // namespace velora
