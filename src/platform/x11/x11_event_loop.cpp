#include "platform/x11/x11_event_loop.h"

#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_ // xkb.h names a field after the C++ keyword
#include <xcb/xkb.h>
#undef explicit
#ifdef __clang__
#pragma clang diagnostic pop
#endif
#include <xcb/damage.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <string>

#include "platform/linux/app_identity.h"
#include "platform/trace.h"
#include "platform/x11/x11_properties.h"
#include "platform/x11/x11_running_application.h"

namespace velora::x11 {

EventLoop::EventLoop(std::shared_ptr<X11Context> context)
    : context_(std::move(context)), x_(*context_), reader_(x_.c, x_.atoms, x_.root),
      tracker_([this](uint8_t keycode) {
          auto layout = x_.keyboard.layout();
          return layout ? layout->characters(keycode) : std::string();
      }) {}

EventLoop::~EventLoop() {
    stop();
}

void EventLoop::selectInput() {
    const uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x_.c, x_.root, XCB_CW_EVENT_MASK, &rootMask);
    if (x_.hasXInput) {
        struct {
            xcb_input_event_mask_t head;
            uint32_t mask;
        } select{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                 XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE |
                     XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
        xcb_input_xi_select_events(x_.c, x_.root, 1, &select.head);
    }
    xcb_flush(x_.c);
}

void EventLoop::start() {
    x_.cache.setStateAtoms(x_.atoms._NET_WM_STATE_HIDDEN, x_.atoms._NET_WM_STATE_SHADED);
    selectInput();
    readRoot();
    readExistingRootChildren();
    keyboardChanged();
    uint16_t mods = 0;
    if (x_.keyboard.liveModifiers(mods)) tracker_.resetModifierState(mods);
    {
        std::lock_guard lock(mutex_);
        running_ = true;
    }
    thread_ = std::thread([this] { run(); });
}

void EventLoop::stop() {
    if (!thread_.joinable()) return;
    stopping_.store(true);
    // Any event wakes the loop; one to this program's own window costs nothing.
    xcb_client_message_event_t e;
    std::memset(&e, 0, sizeof e);
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = x_.ownWindow;
    e.type = x_.atoms._VELORA_WAKE;
    xcb_send_event(x_.c, 0, x_.ownWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    xcb_flush(x_.c);
    thread_.join();
}

bool EventLoop::sync(double timeoutSeconds) {
    uint32_t token;
    {
        std::lock_guard lock(mutex_);
        if (!running_) return false;
        token = ++syncSent_;
    }
    xcb_client_message_event_t e;
    std::memset(&e, 0, sizeof e);
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = x_.ownWindow;
    e.type = x_.atoms._VELORA_WAKE;
    e.data.data32[0] = token;
    xcb_send_event(x_.c, 0, x_.ownWindow, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
    xcb_flush(x_.c);
    std::unique_lock lock(mutex_);
    return synced_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [&] {
        return syncSeen_ >= token || !running_;
    }) && running_;
}

void EventLoop::setConnectionLostHandler(std::function<void(const std::string&)> handler) {
    std::string message;
    {
        std::lock_guard lock(mutex_);
        if (!lostReported_) {
            lostHandler_ = std::move(handler);
            return;
        }
        message = lostMessage_;
    }
    if (handler) handler(message);
}

void EventLoop::run() {
    for (;;) {
        xcb_generic_event_t* event = xcb_wait_for_event(x_.c);
        if (!event) {
            if (!stopping_.load()) connectionLost();
            break;
        }
        handle(event);
        std::free(event);
        if (stopping_.load()) break;
        // The focused-window poll sleeps while the focus stands still; wake it on a change.
        if (const uint64_t changes = x_.cache.focusChanges(); changes != focusChangesSeen_) {
            focusChangesSeen_ = changes;
            x_.mainThread.wakeSleepers();
        }
    }
    std::lock_guard lock(mutex_);
    running_ = false;
    synced_.notify_all();
}

void EventLoop::connectionLost() {
    x_.lost.store(true);
    x_.taps.shutdown();
    x_.responsiveness.shutdown();
    x_.unmaps.shutdown();
    x_.notifier->stop();
    x_.cache.clear();
    x_.apps.clear();
    std::function<void(const std::string&)> handler;
    std::string message = "lost the connection to the X display";
    if (!x_.displayName.empty()) message += " " + x_.displayName;
    {
        std::lock_guard lock(mutex_);
        lostReported_ = true;
        lostMessage_ = message;
        handler = std::move(lostHandler_);
        running_ = false;
        synced_.notify_all();
    }
    if (handler) handler(message);
}

void EventLoop::handle(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7F;
    switch (type) {
    case 0:
        return; // an error of a request nobody waits for: a window that went away
    case XCB_PROPERTY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (e->window == x_.root)
            onRootProperty(e->atom);
        else
            onClientProperty(e->window, e->atom);
        return;
    }
    case XCB_CREATE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(event);
        if (e->parent == x_.root) {
            x_.cache.rootChildOnTop(e->window);
            x_.grabs.addRootChild(e->window);
        }
        return;
    }
    case XCB_CIRCULATE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_circulate_notify_event_t*>(event);
        if (e->event != x_.root) return;
        if (e->place == XCB_PLACE_ON_TOP)
            x_.cache.rootChildOnTop(e->window);
        else
            x_.cache.rootChildAtBottom(e->window);
        return;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (e->event == x_.root) {
            x_.cache.rootChildGone(e->window);
            x_.cache.erasePopUp(e->window);
            x_.unmaps.seen();
            x_.grabs.removeRootChild(e->window, false);
        }
        x_.pictures.gone(e->window);
        if (x_.cache.isClient(e->window)) {
            removeClient(e->window);
            updateApplications();
        }
        return;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
        if (e->event == x_.root) {
            x_.cache.erasePopUp(e->window);
            x_.unmaps.seen();
        } else if (e->event == e->window)
            x_.pictures.hidden(e->window); // a client
        return;
    }
    case XCB_MAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (e->event == x_.root) {
            onRootChildMapped(e->window, e->override_redirect);
        } else if (e->event == e->window && x_.cache.isClient(e->window)) {
            x_.pictures.shown(e->window);
            refreshPicture(e->window);
        }
        return;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (e->event == x_.root) {
            x_.cache.rootChildAbove(e->window, e->above_sibling);
            if (x_.cache.isPopUp(e->window) && x_.pictures.needsNaming(e->window, e->width, e->height))
                x_.pictures.keep(e->window, e->width, e->height);
        } else if (e->event == e->window && x_.pictures.needsNaming(e->window, e->width, e->height) &&
                   x_.cache.isClient(e->window)) {
            x_.pictures.keep(e->window, e->width, e->height);
        }
        return;
    }
    case XCB_REPARENT_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        if (e->event == x_.root && e->parent != x_.root) {
            // No longer a child of the root: not a frame, not a pop-up.
            x_.cache.rootChildGone(e->window);
            x_.cache.erasePopUp(e->window);
            x_.grabs.removeRootChild(e->window, true);
        } else if (e->event == x_.root) {
            x_.cache.rootChildOnTop(e->window);
            x_.grabs.addRootChild(e->window);
        }
        if (x_.cache.isClient(e->window)) x_.cache.setFrame(e->window, reader_.findFrame(e->window));
        return;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto* e = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (e->type == x_.atoms.WM_PROTOCOLS && e->format == 32 &&
            e->data.data32[0] == x_.atoms._NET_WM_PING && e->window == x_.root) {
            x_.responsiveness.answered(e->data.data32[2]);
        } else if (e->type == x_.atoms._VELORA_WAKE && e->data.data32[0] != 0) {
            std::lock_guard lock(mutex_);
            syncSeen_ = std::max(syncSeen_, e->data.data32[0]);
            synced_.notify_all();
        }
        return;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
        // Keys under this program's passive grabs: the grab is let go at once, so that the
        // keys that follow reach the focused client (and the raw events resume). Keys under
        // the keyboard grab of a switch under way leave that grab alone.
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (type == XCB_KEY_PRESS && !x_.grabs.holdsKeyboard()) {
            xcb_ungrab_keyboard(x_.c, e->time);
            xcb_flush(x_.c);
        }
        onKey(type == XCB_KEY_PRESS, e->detail, e->time);
        return;
    }
    case XCB_MAPPING_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (e->request != XCB_MAPPING_POINTER) keyboardChanged();
        return;
    }
    case XCB_GE_GENERIC:
        onGeneric(event);
        return;
    default:
        if (x_.keyboard.isOpen() && type == x_.keyboard.firstEvent())
            onXkb(event);
        else if (type != 0 && type == x_.pictures.damageEvent())
            x_.pictures.damaged(reinterpret_cast<const xcb_damage_notify_event_t*>(event)->drawable);
        return;
    }
}

void EventLoop::readRoot() {
    const xcb_atom_t props[] = {x_.atoms._NET_SUPPORTED, x_.atoms._NET_NUMBER_OF_DESKTOPS,
                                x_.atoms._NET_CURRENT_DESKTOP, x_.atoms._NET_CLIENT_LIST_STACKING};
    for (xcb_atom_t p : props)
        onRootProperty(p);
    refreshClientList();
    onRootProperty(x_.atoms._NET_ACTIVE_WINDOW);
}

void EventLoop::onRootProperty(xcb_atom_t atom) {
    const auto read = [&] { return takeProperty(x_.c, requestProperty(x_.c, x_.root, atom)); };
    if (atom == x_.atoms._NET_CLIENT_LIST) {
        refreshClientList();
    } else if (atom == x_.atoms._NET_CLIENT_LIST_STACKING) {
        x_.cache.setStacking(values32(read().get()));
    } else if (atom == x_.atoms._NET_ACTIVE_WINDOW) {
        uint32_t active = kNoWindow;
        firstValue32(read().get(), active);
        if (trace::enabled()) trace::mark(("reported:" + std::to_string(active)).c_str());
        x_.cache.setActive(active);
    } else if (atom == x_.atoms._NET_CURRENT_DESKTOP) {
        uint32_t current = 0;
        firstValue32(read().get(), current);
        const bool changed = x_.cache.root().currentDesktop != current;
        x_.cache.setCurrentDesktop(current);
        if (changed) x_.notifier->activeSpaceChanged();
    } else if (atom == x_.atoms._NET_NUMBER_OF_DESKTOPS) {
        uint32_t count = 1;
        firstValue32(read().get(), count);
        x_.cache.setDesktopCount(count);
    } else if (atom == x_.atoms._NET_SUPPORTED) {
        x_.cache.setSupported(values32(read().get()));
    } else if (atom == x_.atoms._NET_SUPPORTING_WM_CHECK) {
        // Another window manager, or the same one restarted with other settings: the keys it
        // held may be free now.
        x_.taps.retryRefused();
    }
}

void EventLoop::onClientProperty(xcb_window_t window, xcb_atom_t atom) {
    auto info = x_.cache.client(window);
    if (!info) return;
    if (!reader_.refresh(*info, atom)) return;
    x_.cache.updateClient(window, [&](ClientInfo& current) {
        const xcb_window_t frame = current.frame;
        current = std::move(*info);
        current.frame = frame;
    });
}

void EventLoop::refreshClientList() {
    auto list = values32(takeProperty(x_.c, requestProperty(x_.c, x_.root, x_.atoms._NET_CLIENT_LIST)).get());
    x_.cache.setClientList(list);
    const std::set<xcb_window_t> now(list.begin(), list.end());
    for (const ClientInfo& info : x_.cache.clientsFrontFirst())
        if (!now.count(info.window)) removeClient(info.window);
    for (xcb_window_t window : list)
        if (!x_.cache.isClient(window)) addClient(window);
    updateApplications();
}

void EventLoop::addClient(xcb_window_t window) {
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(x_.c, window, XCB_CW_EVENT_MASK, &mask);
    ClientInfo info;
    if (!reader_.load(window, info)) return; // gone already
    info.pid = info.ownerPid(x_.localHost);
    const pid_t pid = info.pid;
    // The application exists before its window shows in the cache, so that whoever finds
    // the window also finds its application.
    if (pid > 0 && !x_.apps.find(pid)) {
        auto app = std::make_shared<X11RunningApplication>(
            context_, pid, identifyApplication(info.instance, info.className));
        // The theme icon is looked up ahead, on the main thread, for whoever asks later.
        x_.mainThread.performAsync([weak = std::weak_ptr<X11RunningApplication>(app)] {
            if (auto live = weak.lock()) live->resolveThemeIcon();
        });
        x_.apps.insert(pid, std::move(app));
        x_.notifier->applicationLaunched(pid);
    }
    x_.cache.insertClient(std::move(info));
    x_.pictures.redirect(window);
    refreshPicture(window);
    if (pid > 0) x_.notifier->windowCreated(pid, window);
}

void EventLoop::removeClient(xcb_window_t window) {
    auto info = x_.cache.removeClient(window);
    if (!info) return;
    x_.responsiveness.forget(window);
    if (info->pid > 0) x_.notifier->windowDestroyed(info->pid, window);
}

void EventLoop::updateApplications() {
    const std::vector<pid_t> now = x_.cache.pidsInDiscoveryOrder();
    for (pid_t pid : x_.apps.pids()) {
        if (std::find(now.begin(), now.end(), pid) != now.end()) continue;
        x_.apps.remove(pid);
        x_.notifier->applicationTerminated(pid);
    }
}

void EventLoop::onRootChildMapped(xcb_window_t window, bool overrideRedirect) {
    if (window == x_.ownWindow) return;
    if (overrideRedirect) {
        x_.cache.setPopUp(window, reader_.resourceOwner(window));
        x_.pictures.shown(window);
        refreshPicture(window);
        return;
    }
    // A frame shown again: the client inside is viewable again, with a new backing pixmap.
    const xcb_window_t client = x_.cache.clientOfFrame(window);
    if (client == kNoWindow) return;
    x_.pictures.shown(client);
    refreshPicture(client);
}

void EventLoop::refreshPicture(xcb_window_t window) {
    auto geometry = takeReply(x_.c, xcb_get_geometry(x_.c, window), xcb_get_geometry_reply);
    if (geometry) x_.pictures.keep(window, geometry->width, geometry->height);
}

void EventLoop::readExistingRootChildren() {
    auto tree = takeReply(x_.c, xcb_query_tree(x_.c, x_.root), xcb_query_tree_reply);
    if (!tree) return;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    x_.cache.resetRootStack(std::vector<xcb_window_t>(children, children + count));
    for (int i = 0; i < count; ++i)
        x_.grabs.addRootChild(children[i]);
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_get_window_attributes(x_.c, children[i]));
    for (int i = 0; i < count; ++i) {
        auto attributes = takeReply(x_.c, cookies[std::size_t(i)], xcb_get_window_attributes_reply);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            onRootChildMapped(children[i], attributes->override_redirect);
    }
}

void EventLoop::deliver(const std::vector<KeyEvent>& events) {
    x_.taps.deliver(events);
}

void EventLoop::onKey(bool press, uint8_t keycode, uint32_t time) {
    // Before the tap hears of it: whatever the key causes carries its time.
    x_.actions.noteUserTime(time);
    deliver(tracker_.key(press, keycode, time));
}

void EventLoop::onGeneric(const xcb_generic_event_t* event) {
    const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
    if (!x_.hasXInput || ge->extension != x_.xinputOpcode) return;
    if (ge->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
        // A click (on the panel, say) is the user's action too.
        x_.actions.noteUserTime(reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event)->time);
        return;
    }
    if (ge->event_type != XCB_INPUT_RAW_KEY_PRESS && ge->event_type != XCB_INPUT_RAW_KEY_RELEASE) return;
    const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
    if (raw->detail > 255) return;
    onKey(ge->event_type == XCB_INPUT_RAW_KEY_PRESS, uint8_t(raw->detail), raw->time);
}

void EventLoop::onXkb(const xcb_generic_event_t* event) {
    const uint8_t xkbType = reinterpret_cast<const uint8_t*>(event)[1];
    switch (xkbType) {
    case XCB_XKB_STATE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
        x_.keyboard.setLayoutIndex(e->group);
        x_.actions.noteUserTime(e->time);
        deliver(tracker_.modifierState(e->mods, e->keycode));
        return;
    }
    case XCB_XKB_NEW_KEYBOARD_NOTIFY:
    case XCB_XKB_MAP_NOTIFY:
        x_.keyboard.reload();
        keyboardChanged();
        return;
    default:
        return;
    }
}

void EventLoop::keyboardChanged() {
    const ModifierMap map = x_.keyboard.modifierMap();
    tracker_.setModifierMap(map);
    x_.taps.setModifierMap(map);
}

} // namespace velora::x11
