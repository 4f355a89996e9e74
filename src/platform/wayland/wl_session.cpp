#include "platform/wayland/wl_session.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/virtual_keys.h"
#include "platform/wayland/sway_bindings.h"
#include "platform/wayland/wl_context.h"
#include "platform/wayland/wl_keys.h"
#include "platform/wayland/wl_panel_layer.h"
#include "platform/wayland/wl_screen_capture.h"
#include "platform/wayland/wl_trace.h"
#include "platform/x_keycodes.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "wlr-screencopy-unstable-v1-client.h"

namespace velora::wl {

namespace {

struct Toplevel {
    uint32_t number = 0;
    std::string title, appId;
    bool activated = false, minimized = false, maximized = false, fullscreen = false;
    wl_output* output = nullptr; // the output it entered last
};

struct OutputState {
    uint32_t globalName = 0;
    std::string name;
    int scale = 1;
    int32_t x = 0, y = 0, width = 0, height = 0; // position, current mode (pixels)
};

bool isModifierKey(int64_t vk) {
    return vk >= vk::Command && vk <= vk::Function;
}

} // namespace

struct WlSession::State {
    explicit State(WlContext& c) : context(c) {}

    WlContext& context;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    bool pointerOnPanel = false;
    Point pointerAt; // on the panel, in its logical coordinates
    // The wheel's turn in the pointer's current frame, per axis (vertical, horizontal): notches
    // where the device has them, else a distance in surface pixels.
    struct WheelFrame {
        double notches[2] = {0, 0}, pixels[2] = {0, 0};
        bool discrete[2] = {false, false};
        uint32_t time = 0;
    } wheel;
    std::mutex pointerMutex; // guards pointerHandler: set from the main thread
    std::function<void(const PanelPointerEvent&)> pointerHandler;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevels = nullptr;
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    std::map<wl_output*, OutputState> outputs;
    std::mutex outputsMutex;           // guards `outputs` and `activeOutput` for readers on other threads
    wl_output* activeOutput = nullptr; // the activated window's output
    std::unique_ptr<PanelLayer> panel;
    std::unique_ptr<ScreenCapture> capture;
    std::map<zwlr_foreign_toplevel_handle_v1*, Toplevel> handles;
    bool viewsDirty = false;
    // The window last asked to activate, until the compositor reports a change of focus:
    // the same request again would only make the compositor hand the keyboard around.
    uint32_t activationPending = 0;

    // The keyboard hold.
    wl_surface* holdSurface = nullptr;
    zwlr_layer_surface_v1* holdLayer = nullptr;
    wl_buffer* clearPixel = nullptr;
    bool holdHasKeyboard = false;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* xkbState = nullptr;
    uint64_t keyboardFlags = 0;

    // Sway's binding events.
    SwayIpc events;

    // Work from other threads.
    int wakeFd = -1;
    std::mutex mutex;
    std::deque<std::function<void()>> work;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::function<void(const std::string&)> lostHandler;
    bool lostReported = false;

    void post(std::function<void()> f) {
        {
            std::lock_guard lock(mutex);
            work.push_back(std::move(f));
        }
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    zwlr_foreign_toplevel_handle_v1* handleOf(uint32_t number) {
        for (auto& [handle, t] : handles)
            if (t.number == number) return handle;
        return nullptr;
    }

    void run();
    void runWork();
    void handleBindingEvent(const std::string& payload);
    void pressBoundKey(int64_t keyCode, uint64_t modifiers);
    void beginPictures();
    void readAtSwitchStart();
    void beginHold(uint64_t flags);
    void endHold();
    void setKeyboardFlags(uint64_t flags);
    void deliver(const std::vector<KeyEvent>& events) { context.taps.deliver(events); }
    void loseCompositor(const std::string& message);
};

// --- toplevels

namespace {

void onTitle(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* title) {
    static_cast<WlSession::State*>(data)->handles[h].title = title ? title : "";
}
void onAppId(void* data, zwlr_foreign_toplevel_handle_v1* h, const char* appId) {
    static_cast<WlSession::State*>(data)->handles[h].appId = appId ? appId : "";
}
void onOutputEnter(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_output* output) {
    static_cast<WlSession::State*>(data)->handles[h].output = output;
}
void onOutputLeave(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_output* output) {
    Toplevel& t = static_cast<WlSession::State*>(data)->handles[h];
    if (t.output == output) t.output = nullptr;
}
void onState(void* data, zwlr_foreign_toplevel_handle_v1* h, wl_array* states) {
    Toplevel& t = static_cast<WlSession::State*>(data)->handles[h];
    t.activated = t.minimized = t.maximized = t.fullscreen = false;
    const auto* begin = static_cast<const uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        switch (begin[i]) {
        case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED:
            t.activated = true;
            break;
        case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED:
            t.minimized = true;
            break;
        case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MAXIMIZED:
            t.maximized = true;
            break;
        case ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN:
            t.fullscreen = true;
            break;
        default:
            break;
        }
    }
}
void onDone(void* data, zwlr_foreign_toplevel_handle_v1* h) {
    auto* s = static_cast<WlSession::State*>(data);
    const Toplevel& t = s->handles[h];
    const uint64_t focusChanges = s->context.table.focusChanges();
    const std::optional<WlWindow> before = s->context.table.window(t.number);
    s->context.table.update(t.number, t.appId, t.title, t.activated, t.minimized, t.maximized, t.fullscreen);
    // While a switch holds the keyboard, sway re-announces every window (its overlay takes the
    // activation of the focused one, the panel's surface rearranges the output) without a
    // change the table keeps: the layout is the one read when the switch began
    // (readAtSwitchStart), and a window list reads the tree for itself.
    const bool unchanged = s->holdLayer && before && (before->activated || !t.activated) &&
                           before->title == t.title && before->appId == t.appId &&
                           before->minimized == t.minimized && before->maximized == t.maximized &&
                           before->fullscreen == t.fullscreen;
    if (!unchanged) s->viewsDirty = true;
    if (t.activated && t.output) {
        std::lock_guard lock(s->outputsMutex);
        s->activeOutput = t.output;
    }
    // The focus poll sleeps until woken by a focus change.
    if (s->context.table.focusChanges() != focusChanges) {
        s->activationPending = 0;
        s->context.mainThread.wakeSleepers();
    }
}
void onClosed(void* data, zwlr_foreign_toplevel_handle_v1* h) {
    auto* s = static_cast<WlSession::State*>(data);
    auto it = s->handles.find(h);
    if (it != s->handles.end()) {
        s->context.announce(s->context.table.remove(it->second.number));
        s->handles.erase(it);
    }
    zwlr_foreign_toplevel_handle_v1_destroy(h);
}
void onParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

const zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
    onTitle, onAppId, onOutputEnter, onOutputLeave, onState, onDone, onClosed, onParent,
};

void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* h) {
    auto* s = static_cast<WlSession::State*>(data);
    s->handles[h].number = s->context.table.add();
    zwlr_foreign_toplevel_handle_v1_add_listener(h, &kHandleListener, s);
}
void onFinished(void*, zwlr_foreign_toplevel_manager_v1*) {}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {onToplevel, onFinished};

// --- keyboard

uint64_t flagsOf(xkb_state* state) {
    if (!state) return 0;
    uint64_t flags = 0;
    auto active = [state](const char* name) {
        return xkb_state_mod_name_is_active(state, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    if (active(XKB_MOD_NAME_SHIFT)) flags |= kEventFlagShift;
    if (active(XKB_MOD_NAME_CTRL)) flags |= kEventFlagControl;
    if (active(XKB_MOD_NAME_ALT)) flags |= kEventFlagCommand;
    if (active(XKB_MOD_NAME_LOGO)) flags |= kEventFlagOption;
    if (active(XKB_MOD_NAME_CAPS)) flags |= kEventFlagAlphaShift;
    return flags;
}

void onKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    auto* s = static_cast<WlSession::State*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
        ::close(fd);
        return;
    }
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return;
    xkb_keymap* keymap = xkb_keymap_new_from_string(s->xkb, static_cast<const char*>(map),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ::munmap(map, size);
    if (!keymap) return;
    if (s->xkbState) xkb_state_unref(s->xkbState);
    if (s->keymap) xkb_keymap_unref(s->keymap);
    s->keymap = keymap;
    s->xkbState = xkb_state_new(keymap);
}

void onEnter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*) {
    auto* s = static_cast<WlSession::State*>(data);
    if (surface && surface == s->holdSurface) s->holdHasKeyboard = true;
    trace("keyboard enter (hold surface: %d)", int(surface && surface == s->holdSurface));
}

void onLeave(void* data, wl_keyboard*, uint32_t, wl_surface* surface) {
    auto* s = static_cast<WlSession::State*>(data);
    if (surface && surface == s->holdSurface) s->holdHasKeyboard = false;
    trace("keyboard leave (hold surface: %d)", int(surface && surface == s->holdSurface));
}

std::string charactersOf(xkb_keymap* keymap, uint32_t xkbKey, int64_t vk) {
    if (keymap) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, xkbKey, 0, 0, &syms) > 0) {
            char text[16] = {};
            if (xkb_keysym_to_utf8(syms[0], text, sizeof text) > 0) return text;
        }
    }
    return vk::usLayoutCharacter(vk);
}

void onKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    auto* s = static_cast<WlSession::State*>(data);
    if (!s->holdHasKeyboard) return;
    const xkb_keysym_t* syms = nullptr;
    const bool hasSym = s->keymap && xkb_keymap_key_get_syms_by_level(s->keymap, key + 8, 0, 0, &syms) > 0;
    // Modifiers arrive as their own event.
    if (hasSym &&
        ((syms[0] >= XKB_KEY_Shift_L && syms[0] <= XKB_KEY_Hyper_R) || syms[0] == XKB_KEY_ISO_Level3_Shift))
        return;
    const int64_t vk = virtualKeyOf(key + 8, hasSym ? syms[0] : XKB_KEY_NoSymbol);
    if (vk < 0 || isModifierKey(vk)) return;
    trace("key %lld %s", static_cast<long long>(vk), state == WL_KEYBOARD_KEY_STATE_PRESSED ? "down" : "up");
    KeyEvent event;
    event.type = state == WL_KEYBOARD_KEY_STATE_PRESSED ? KeyEventType::KeyDown : KeyEventType::KeyUp;
    event.keyCode = vk;
    event.flags = s->keyboardFlags;
    event.charactersIgnoringModifiers = charactersOf(s->keymap, key + 8, vk);
    s->deliver({event});
}

void onModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                 uint32_t group) {
    auto* s = static_cast<WlSession::State*>(data);
    if (!s->xkbState) return;
    xkb_state_update_mask(s->xkbState, depressed, latched, locked, 0, 0, group);
    if (!s->holdHasKeyboard) return;
    s->setKeyboardFlags(flagsOf(s->xkbState));
}

void onRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {onKeymap, onEnter, onLeave, onKey, onModifiers, onRepeatInfo};

// --- the pointer: the primary button and the wheel on the panel's surface go to the handler

constexpr uint32_t kLeftButton = 0x110; // BTN_LEFT

void deliverToPanel(WlSession::State* s, const PanelPointerEvent& event) {
    std::lock_guard lock(s->pointerMutex);
    if (s->pointerHandler) s->pointerHandler(event);
}

void onPointerEnter(void* data, wl_pointer*, uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
    auto* s = static_cast<WlSession::State*>(data);
    s->pointerOnPanel = surface && s->panel && surface == s->panel->surface();
    s->pointerAt = Point{wl_fixed_to_double(x), wl_fixed_to_double(y)};
    if (s->pointerOnPanel) trace("pointer on the panel");
}
void onPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<WlSession::State*>(data)->pointerOnPanel = false;
}
void onPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    static_cast<WlSession::State*>(data)->pointerAt = Point{wl_fixed_to_double(x), wl_fixed_to_double(y)};
}
void onPointerButton(void* data, wl_pointer*, uint32_t, uint32_t time, uint32_t button, uint32_t state) {
    auto* s = static_cast<WlSession::State*>(data);
    if (!s->pointerOnPanel || button != kLeftButton) return;
    const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    trace("panel %s at %.0f,%.0f", pressed ? "press" : "release", s->pointerAt.x, s->pointerAt.y);
    using Kind = PanelPointerEvent::Kind;
    deliverToPanel(s, PanelPointerEvent{pressed ? Kind::Press : Kind::Release, s->pointerAt, time, {}});
}
// A turn of the wheel comes as the axis events of one frame: for a wheel, its notches
// (axis_discrete, before the axis event it goes with); for a touchpad, a distance alone.
void onPointerAxis(void* data, wl_pointer*, uint32_t time, uint32_t axis, wl_fixed_t value) {
    auto* s = static_cast<WlSession::State*>(data);
    if (axis > WL_POINTER_AXIS_HORIZONTAL_SCROLL) return;
    s->wheel.pixels[axis] += wl_fixed_to_double(value);
    s->wheel.time = time;
}
void onPointerAxisDiscrete(void* data, wl_pointer*, uint32_t axis, int32_t discrete) {
    auto* s = static_cast<WlSession::State*>(data);
    if (axis > WL_POINTER_AXIS_HORIZONTAL_SCROLL) return;
    s->wheel.notches[axis] += discrete;
    s->wheel.discrete[axis] = true;
}
void onPointerFrame(void* data, wl_pointer*) {
    auto* s = static_cast<WlSession::State*>(data);
    const WlSession::State::WheelFrame wheel = std::exchange(s->wheel, {});
    if (!s->pointerOnPanel) return;
    // Wayland's axes grow down and right, Qt's angles up and left. A notch is 120; a distance
    // without notches counts libinput's 15 pixels a notch.
    const auto angle = [&](uint32_t axis) {
        const double down = wheel.discrete[axis] ? wheel.notches[axis] * 120 : wheel.pixels[axis] * 8;
        return down == 0 ? 0.0 : -down;
    };
    const Point turn{angle(WL_POINTER_AXIS_HORIZONTAL_SCROLL), angle(WL_POINTER_AXIS_VERTICAL_SCROLL)};
    if (turn.x == 0 && turn.y == 0) return;
    trace("panel wheel %.0f,%.0f", turn.x, turn.y);
    deliverToPanel(s, PanelPointerEvent{PanelPointerEvent::Kind::Wheel, s->pointerAt, wheel.time, turn});
}
void onPointerAxisSource(void*, wl_pointer*, uint32_t) {}
void onPointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}

const wl_pointer_listener kPointerListener = {
    onPointerEnter, onPointerLeave,      onPointerMotion,   onPointerButton,       onPointerAxis,
    onPointerFrame, onPointerAxisSource, onPointerAxisStop, onPointerAxisDiscrete, nullptr};

void onCapabilities(void* data, wl_seat* seat, uint32_t caps) {
    auto* s = static_cast<WlSession::State*>(data);
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !s->pointer) {
        s->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(s->pointer, &kPointerListener, s);
    } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && s->pointer) {
        wl_pointer_release(s->pointer);
        s->pointer = nullptr;
        s->pointerOnPanel = false;
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !s->keyboard) {
        s->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(s->keyboard, &kKeyboardListener, s);
    } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && s->keyboard) {
        wl_keyboard_release(s->keyboard);
        s->keyboard = nullptr;
    }
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {onCapabilities, onSeatName};

// --- outputs: their names (to match sway's outputs) and scales

void onOutputGeometry(void* data, wl_output* output, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                      const char*, const char*, int32_t) {
    auto* s = static_cast<WlSession::State*>(data);
    std::lock_guard lock(s->outputsMutex);
    s->outputs[output].x = x;
    s->outputs[output].y = y;
}
void onOutputMode(void* data, wl_output* output, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    auto* s = static_cast<WlSession::State*>(data);
    std::lock_guard lock(s->outputsMutex);
    s->outputs[output].width = width;
    s->outputs[output].height = height;
}
void onOutputDone(void*, wl_output*) {}
void onOutputScale(void* data, wl_output* output, int32_t factor) {
    auto* s = static_cast<WlSession::State*>(data);
    std::lock_guard lock(s->outputsMutex);
    s->outputs[output].scale = std::max(1, factor);
}
void onOutputName(void* data, wl_output* output, const char* name) {
    auto* s = static_cast<WlSession::State*>(data);
    std::lock_guard lock(s->outputsMutex);
    s->outputs[output].name = name ? name : "";
}
void onOutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {onOutputGeometry, onOutputMode, onOutputDone,
                                            onOutputScale,    onOutputName, onOutputDescription};

// --- the hold surface

void onLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t, uint32_t) {
    auto* s = static_cast<WlSession::State*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    trace("hold surface configured (current: %d)", int(layer == s->holdLayer));
    if (layer != s->holdLayer) return;
    wl_surface_attach(s->holdSurface, s->clearPixel, 0, 0);
    wl_surface_damage(s->holdSurface, 0, 0, 1, 1);
    wl_surface_commit(s->holdSurface);
}
void onLayerClosed(void* data, zwlr_layer_surface_v1* layer) {
    auto* s = static_cast<WlSession::State*>(data);
    trace("hold surface closed by the compositor");
    if (layer == s->holdLayer) s->endHold();
}
const zwlr_layer_surface_v1_listener kLayerListener = {onLayerConfigure, onLayerClosed};

// A 1x1 transparent buffer: the hold surface shows nothing.
wl_buffer* makeClearPixel(wl_shm* shm) {
    const int fd = memfd_create("velora-pixel", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    if (ftruncate(fd, 4) != 0) {
        ::close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, 4);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, 1, 1, 4, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    ::close(fd);
    return buffer;
}

// --- globals

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* s = static_cast<WlSession::State*>(data);
    const std::string i = interface;
    auto bind = [&](const wl_interface* iface, uint32_t highest) {
        return wl_registry_bind(registry, name, iface, std::min(version, highest));
    };
    if (i == wl_compositor_interface.name && !s->compositor)
        s->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    else if (i == wl_shm_interface.name && !s->shm)
        s->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    else if (i == wl_seat_interface.name && !s->seat) {
        s->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(s->seat, &kSeatListener, s);
    } else if (i == zwlr_layer_shell_v1_interface.name && !s->layerShell)
        s->layerShell = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 4));
    else if (i == zwlr_foreign_toplevel_manager_v1_interface.name && !s->toplevels) {
        s->toplevels = static_cast<zwlr_foreign_toplevel_manager_v1*>(
            bind(&zwlr_foreign_toplevel_manager_v1_interface, 3));
        zwlr_foreign_toplevel_manager_v1_add_listener(s->toplevels, &kManagerListener, s);
    } else if (i == zwlr_screencopy_manager_v1_interface.name && !s->screencopy) {
        s->screencopy =
            static_cast<zwlr_screencopy_manager_v1*>(bind(&zwlr_screencopy_manager_v1_interface, 1));
    } else if (i == wl_output_interface.name && version >= 4) {
        auto* output = static_cast<wl_output*>(bind(&wl_output_interface, 4));
        {
            std::lock_guard lock(s->outputsMutex);
            s->outputs[output].globalName = name;
        }
        wl_output_add_listener(output, &kOutputListener, s);
    }
}
void onGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* s = static_cast<WlSession::State*>(data);
    std::lock_guard lock(s->outputsMutex);
    for (auto it = s->outputs.begin(); it != s->outputs.end(); ++it)
        if (it->second.globalName == name) {
            if (s->activeOutput == it->first) s->activeOutput = nullptr;
            wl_output_release(it->first);
            s->outputs.erase(it);
            return;
        }
}
const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

} // namespace

// --- the hold

void WlSession::State::beginHold(uint64_t flags) {
    if (holdLayer) return;
    trace("hold begins");
    // The binding just fired, so its modifiers are down; the surface's keyboard tells more.
    keyboardFlags = flags;
    context.liveFlags.store(flags);
    if (!clearPixel) clearPixel = makeClearPixel(shm);
    holdSurface = wl_compositor_create_surface(compositor);
    // Keys only: the pointer goes to what lies under its pixel (the panel's centre).
    wl_region* none = wl_compositor_create_region(compositor);
    wl_surface_set_input_region(holdSurface, none);
    wl_region_destroy(none);
    holdLayer = zwlr_layer_shell_v1_get_layer_surface(layerShell, holdSurface, nullptr,
                                                      ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "velora");
    zwlr_layer_surface_v1_add_listener(holdLayer, &kLayerListener, this);
    zwlr_layer_surface_v1_set_size(holdLayer, 1, 1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(holdLayer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    wl_surface_commit(holdSurface);
}

void WlSession::State::endHold() {
    if (holdLayer) {
        trace("hold ends");
        // Giving up the keyboard before the surface goes makes sway 1.7 hand it back to the
        // focused window; destroying an exclusive surface alone leaves no client with it.
        zwlr_layer_surface_v1_set_keyboard_interactivity(holdLayer,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
        wl_surface_commit(holdSurface);
        zwlr_layer_surface_v1_destroy(holdLayer);
    }
    if (holdSurface) wl_surface_destroy(holdSurface);
    context.switchReading.end();
    holdLayer = nullptr;
    holdSurface = nullptr;
    holdHasKeyboard = false;
}

void WlSession::State::setKeyboardFlags(uint64_t flags) {
    const uint64_t before = keyboardFlags;
    trace("modifiers %#llx", static_cast<unsigned long long>(flags));
    keyboardFlags = flags;
    context.liveFlags.store(flags);
    if (before != flags) {
        KeyEvent event;
        event.type = KeyEventType::FlagsChanged;
        event.flags = flags;
        deliver({event});
    }
    // All modifiers up: the switch is over and typing goes back to the focused window.
    if ((flags & kEventFlagsTrackedMask) == 0) endHold();
}

void WlSession::State::handleBindingEvent(const std::string& payload) {
    auto command = bindingEventCommand(payload);
    if (!command) return;
    auto key = keyOfBindingCommand(*command);
    if (!key) return;
    trace("binding %lld %#llx", static_cast<long long>(key->keyCode),
          static_cast<unsigned long long>(key->modifiers));
    pressBoundKey(key->keyCode, key->modifiers);
}

// A compositor binding fired (sway's event, or a trigger run by the compositor's own
// binding): the key goes to the taps with the binding's modifiers, and a switch that begins
// takes the keyboard.
void WlSession::State::pressBoundKey(int64_t keyCode, uint64_t modifiers) {
    const bool begins = !holdLayer;
    if (begins) {
        context.switchReading.begin();
        beginPictures();
        beginHold(modifiers);
    }
    KeyEvent event;
    event.type = KeyEventType::KeyDown;
    event.keyCode = keyCode;
    event.flags = holdHasKeyboard ? keyboardFlags : modifiers;
    event.charactersIgnoringModifiers = charactersOf(keymap, xKeycodeForVirtualKey(keyCode), keyCode);
    deliver({event});
    // After the key is on its way: the windows and outputs are asked of sway's IPC.
    if (begins) readAtSwitchStart();
}

// A switch begins: the screen is read for pictures before the panel can cover any of it.
void WlSession::State::beginPictures() {
    if (capture) capture->begin();
}

// The tree and the outputs, once for the switch (wl_switch_reading.h), and the pictures.
void WlSession::State::readAtSwitchStart() {
    // Rectangles and visibility change without a toplevel event (a move, a float): the tree
    // is read now.
    context.refreshViews();
    std::optional<std::string> outputsReply;
    if (context.hasSwayIpc) outputsReply = context.ipc.request(SwayMessage::GetOutputs, "");
    context.switchReading.done(outputsReply);
    if (!capture) return;
    std::map<uint32_t, Rect> visible;
    std::set<uint32_t> known;
    for (const WlWindow& w : context.table.frontToBack()) {
        known.insert(w.number);
        if (w.visible && !w.minimized) visible.emplace(w.number, w.bounds);
    }
    std::vector<ScreenCapture::Output> targets;
    if (outputsReply) {
        std::lock_guard lock(outputsMutex);
        for (const SwayOutput& o : parseSwayOutputs(*outputsReply))
            for (const auto& [output, state] : outputs)
                if (state.name == o.name) targets.push_back({output, o.rect});
    }
    capture->read(std::move(visible), known, targets);
}

void WlSession::State::loseCompositor(const std::string& message) {
    if (lostReported) return;
    lostReported = true;
    context.lost.store(true);
    context.switchReading.end();
    if (lostHandler) lostHandler(message);
}

void WlSession::State::runWork() {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(wakeFd, &count, sizeof count);
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex);
        batch.swap(work);
    }
    for (auto& f : batch)
        f();
}

void WlSession::State::run() {
    const int displayFd = wl_display_get_fd(display);
    while (!stopping.load()) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        pollfd fds[3] = {{displayFd, POLLIN, 0}, {wakeFd, POLLIN, 0}, {events.fd(), POLLIN, 0}};
        const int ready = ::poll(fds, events.isOpen() ? 3 : 2, -1);
        if (ready < 0) {
            wl_display_cancel_read(display);
            if (errno == EINTR) continue;
            loseCompositor("the Wayland event loop failed");
            return;
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (wl_display_read_events(display) < 0) {
                loseCompositor("lost the connection to the Wayland compositor");
                return;
            }
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) {
            loseCompositor("lost the connection to the Wayland compositor");
            return;
        }
        if (fds[1].revents & POLLIN) runWork();
        if (events.isOpen() && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            uint32_t type = 0;
            auto payload = events.read(type);
            if (!payload) {
                loseCompositor("lost the connection to sway's IPC");
                return;
            }
            if (type == kSwayEventBinding) handleBindingEvent(*payload);
            if (type == kSwayEventWorkspace && isReloadEvent(*payload)) {
                trace("configuration reloaded: binding again");
                context.taps.bindAgain();
            }
        }
        if (viewsDirty) {
            viewsDirty = false;
            context.refreshViews();
        }
    }
}

// --- the session

WlSession::WlSession(WlContext& context) : s_(std::make_unique<State>(context)) {}

std::unique_ptr<WlSession> WlSession::connect(WlContext& context, Failure& failure, std::string& error) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        failure = Failure::NoDisplay;
        error = std::string("cannot connect to the Wayland display ") +
                (name && *name ? name : "(WAYLAND_DISPLAY is not set)");
        return nullptr;
    }
    std::unique_ptr<WlSession> session(new WlSession(context));
    State& s = *session->s_;
    s.display = display;
    s.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    s.registry = wl_display_get_registry(display);
    wl_registry_add_listener(s.registry, &kRegistryListener, &s);
    wl_display_roundtrip(display); // the globals
    wl_display_roundtrip(display); // the toplevels and the seat's keyboard
    wl_display_roundtrip(display); // the toplevels' first state
    // Without SWAYSOCK the compositor is another wlroots one: the keys come from its own
    // bindings running `velora --trigger`, and windows are grouped by app_id.
    const char* swaySock = std::getenv("SWAYSOCK");
    const bool withSway = swaySock && *swaySock;
    std::string missing;
    if (!s.toplevels) missing += " wlr-foreign-toplevel-management";
    if (!s.layerShell) missing += " wlr-layer-shell";
    if (!s.compositor || !s.shm || !s.seat) missing += " a compositor, shared memory and a seat";
    if (withSway && (!context.ipc.connect(swaySock) || !s.events.connect(swaySock)))
        missing += " sway's IPC (SWAYSOCK)";
    if (!missing.empty()) {
        failure = Failure::Unsupported;
        error = "this Wayland compositor lacks what velora needs:" + missing;
        return nullptr;
    }
    context.hasSwayIpc = withSway;
    if (!withSway) {
        // Compositors other than sway honour set_minimized.
        context.canMinimize = true;
        s.wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        context.refreshViews();
        failure = Failure::None;
        return session;
    }
    // "workspace" for its "reload" change: a reload drops the bindings added at run time.
    s.events.send(SwayMessage::Subscribe, R"(["binding", "workspace"])");
    uint32_t type = 0;
    auto reply = s.events.read(type);
    if (!reply || reply->find("true") == std::string::npos) {
        failure = Failure::Unsupported;
        error = "sway's IPC refused the subscription to binding events";
        return nullptr;
    }
    if (s.screencopy) s.capture = std::make_unique<ScreenCapture>(s.shm, s.screencopy);
    s.wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    context.refreshViews();
    failure = Failure::None;
    return session;
}

WlSession::~WlSession() {
    stop();
    State& s = *s_;
    for (auto& [handle, t] : s.handles)
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    s.endHold();
    s.panel.reset();
    s.capture.reset();
    for (auto& [output, state] : s.outputs)
        wl_output_release(output);
    if (s.screencopy) zwlr_screencopy_manager_v1_destroy(s.screencopy);
    if (s.clearPixel) wl_buffer_destroy(s.clearPixel);
    if (s.keyboard) wl_keyboard_release(s.keyboard);
    if (s.pointer) wl_pointer_release(s.pointer);
    if (s.xkbState) xkb_state_unref(s.xkbState);
    if (s.keymap) xkb_keymap_unref(s.keymap);
    if (s.xkb) xkb_context_unref(s.xkb);
    if (s.display) wl_display_disconnect(s.display);
    if (s.wakeFd >= 0) ::close(s.wakeFd);
}

void WlSession::start() {
    s_->thread = std::thread([this] { s_->run(); });
}

void WlSession::stop() {
    if (!s_->thread.joinable()) return;
    s_->post([this] {
        s_->endHold();
        if (s_->panel) s_->panel->hide();
        s_->stopping.store(true);
    });
    s_->thread.join();
    if (!s_->context.lost.load()) wl_display_flush(s_->display);
}

void WlSession::activate(uint32_t number) {
    s_->post([s = s_.get(), number] {
        if (s->activationPending == number) return;
        trace("activate %u", number);
        if (auto* h = s->handleOf(number)) {
            zwlr_foreign_toplevel_handle_v1_activate(h, s->seat);
            s->activationPending = number;
        }
    });
}

void WlSession::close(uint32_t number) {
    s_->post([s = s_.get(), number] {
        trace("close %u", number);
        if (auto* h = s->handleOf(number)) zwlr_foreign_toplevel_handle_v1_close(h);
    });
}

void WlSession::setMinimized(uint32_t number, bool minimized) {
    s_->post([s = s_.get(), number, minimized] {
        auto* h = s->handleOf(number);
        if (!h) return;
        if (minimized)
            zwlr_foreign_toplevel_handle_v1_set_minimized(h);
        else
            zwlr_foreign_toplevel_handle_v1_unset_minimized(h);
    });
}

void WlSession::releaseKeyboard() {
    s_->post([s = s_.get()] { s->endHold(); });
}

void WlSession::showPanel(const QImage& image, bool coverOutput) {
    s_->post([s = s_.get(), image, coverOutput] {
        if (!s->panel) s->panel = std::make_unique<PanelLayer>(s->compositor, s->shm, s->layerShell);
        s->panel->show(image, coverOutput);
    });
}

void WlSession::hidePanel() {
    s_->post([s = s_.get()] {
        if (s->panel) s->panel->hide();
        s->pointerOnPanel = false;
    });
}

void WlSession::setPanelPointerHandler(std::function<void(const PanelPointerEvent&)> handler) {
    std::lock_guard lock(s_->pointerMutex);
    s_->pointerHandler = std::move(handler);
}

QImage WlSession::windowPicture(uint32_t number, Size size) {
    return s_->capture ? s_->capture->picture(number, size) : QImage();
}

std::optional<uint64_t> WlSession::windowPictureVersion(uint32_t number) {
    return s_->capture ? s_->capture->version(number) : std::nullopt;
}

void WlSession::pressBoundKey(int64_t keyCode, uint64_t modifiers) {
    s_->post([s = s_.get(), keyCode, modifiers] {
        trace("trigger %lld %#llx", static_cast<long long>(keyCode),
              static_cast<unsigned long long>(modifiers));
        s->pressBoundKey(keyCode, modifiers);
    });
}

std::optional<PanelOutput> WlSession::focusedOutput() {
    std::lock_guard lock(s_->outputsMutex);
    const OutputState* found = nullptr;
    for (const auto& [output, state] : s_->outputs) {
        if (state.width <= 0 || state.height <= 0) continue;
        if (!found || output == s_->activeOutput) found = &state;
        if (output == s_->activeOutput) break;
    }
    if (!found) return std::nullopt;
    // The logical size: the mode's pixels at the output's scale.
    const double scale = found->scale;
    return PanelOutput{Rect{double(found->x), double(found->y), found->width / scale, found->height / scale},
                       found->scale};
}

int WlSession::outputScale(const std::string& name) {
    std::lock_guard lock(s_->outputsMutex);
    for (const auto& [output, state] : s_->outputs)
        if (state.name == name) return state.scale;
    return 0;
}

void WlSession::setLostHandler(std::function<void(const std::string&)> handler) {
    s_->lostHandler = std::move(handler);
}

} // namespace velora::wl
