#include "x_display.h"

#include <unistd.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "support/wait.h"

namespace velora::test {

namespace {

// The reply of a request, or null when it failed. (The suites' client programs build this file
// without the program's sources, so it does not share the program's helper.)
struct Freed {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Owned = std::unique_ptr<T, Freed>;
template <typename Reply, typename Cookie>
Owned<Reply> takeReply(xcb_connection_t* c, Cookie cookie,
                       Reply* (*replyFn)(xcb_connection_t*, Cookie, xcb_generic_error_t**)) {
    return Owned<Reply>(replyFn(c, cookie, nullptr));
}

} // namespace

XDisplay::XDisplay(const char* name) {
    c_ = xcb_connect(name, &screen_);
    if (xcb_connection_has_error(c_)) {
        xcb_disconnect(c_);
        c_ = nullptr;
        return;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; i < screen_ && it.rem; ++i)
        xcb_screen_next(&it);
    screenInfo_ = it.data;
    root_ = screenInfo_->root;
}

XDisplay::~XDisplay() {
    if (c_) xcb_disconnect(c_);
}

xcb_atom_t XDisplay::atom(const char* name) {
    auto r = takeReply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), xcb_intern_atom_reply);
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void XDisplay::sync() {
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
}

std::vector<uint32_t> XDisplay::cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    auto r = takeReply(c_, xcb_get_property(c_, 0, w, property, type, 0, 4096), xcb_get_property_reply);
    if (!r || r->format != 32) return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return {data, data + xcb_get_property_value_length(r.get()) / 4};
}

xcb_window_t XDisplay::activeWindow() {
    auto v = cardinals(root_, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return v.empty() ? 0 : v.front();
}

std::vector<xcb_window_t> XDisplay::clientList() {
    return cardinals(root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
}

std::vector<xcb_window_t> XDisplay::clientsBottomFirst() {
    const auto parentOf = [this](xcb_window_t w) {
        auto tree = takeReply(c_, xcb_query_tree(c_, w), xcb_query_tree_reply);
        return tree ? tree->parent : xcb_window_t(0);
    };
    std::map<xcb_window_t, xcb_window_t> clientOfFrame;
    for (xcb_window_t client : clientList()) {
        xcb_window_t w = client;
        for (xcb_window_t p = parentOf(w); p && p != root_; p = parentOf(w))
            w = p;
        clientOfFrame[w] = client;
    }
    std::vector<xcb_window_t> out;
    for (xcb_window_t child : children(root_))
        if (auto it = clientOfFrame.find(child); it != clientOfFrame.end()) out.push_back(it->second);
    return out;
}

std::string XDisplay::title(xcb_window_t w) {
    for (auto [property, type] : {std::pair{atom("_NET_WM_NAME"), atom("UTF8_STRING")},
                                  std::pair{xcb_atom_t(XCB_ATOM_WM_NAME), xcb_atom_t(XCB_ATOM_ANY)}}) {
        auto r = takeReply(c_, xcb_get_property(c_, 0, w, property, type, 0, 1024), xcb_get_property_reply);
        if (r && r->format == 8 && xcb_get_property_value_length(r.get()) > 0)
            return {static_cast<const char*>(xcb_get_property_value(r.get())),
                    std::size_t(xcb_get_property_value_length(r.get()))};
    }
    return {};
}

std::optional<pid_t> XDisplay::pid(xcb_window_t w) {
    auto v = cardinals(w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    return v.empty() ? std::nullopt : std::optional<pid_t>(pid_t(v.front()));
}

bool XDisplay::isHidden(xcb_window_t w) {
    return hasState(w, "_NET_WM_STATE_HIDDEN");
}

bool XDisplay::isIconic(xcb_window_t w) {
    auto v = cardinals(w, atom("WM_STATE"), atom("WM_STATE"));
    return !v.empty() && v.front() == 3; // IconicState
}

xcb_window_t XDisplay::clientTitled(const std::string& wanted) {
    for (xcb_window_t w : clientList())
        if (title(w) == wanted) return w;
    return 0;
}

void XDisplay::sendToRoot(xcb_window_t w, const char* type, uint32_t data0, uint32_t data1) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = w;
    m.type = atom(type);
    m.data.data32[0] = data0;
    m.data.data32[1] = data1;
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&m));
    sync();
}

// Source indication 2: from a pager or other direct user action.
void XDisplay::closeWindow(xcb_window_t w) {
    sendToRoot(w, "_NET_CLOSE_WINDOW", serverTime(), 2);
}

void XDisplay::activateWindow(xcb_window_t w) {
    sendToRoot(w, "_NET_ACTIVE_WINDOW", 2, serverTime());
}

xcb_window_t XDisplay::createClientWindow(const ClientWindow& spec) {
    const xcb_window_t w = xcb_generate_id(c_);
    const uint32_t values[] = {spec.colour, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    const QRect& g = spec.geometry;
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, int16_t(g.x()), int16_t(g.y()), uint16_t(g.width()),
                      uint16_t(g.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const auto text = [&](xcb_atom_t property, xcb_atom_t type, const std::string& value) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, property, type, 8, uint32_t(value.size()),
                            value.data());
    };
    text(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, spec.title);
    text(atom("_NET_WM_NAME"), atom("UTF8_STRING"), spec.title);
    text(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, spec.instance + '\0' + spec.windowClass + '\0');
    std::vector<xcb_atom_t> protocols{atom("WM_DELETE_WINDOW")};
    protocols.insert(protocols.end(), spec.moreProtocols.begin(), spec.moreProtocols.end());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom("WM_PROTOCOLS"), XCB_ATOM_ATOM, 32,
                        uint32_t(protocols.size()), protocols.data());
    const uint32_t pid = uint32_t(::getpid());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    const uint32_t hints[9] = {1 /* InputHint */, 1 /* takes input */};
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
    xcb_map_window(c_, w);
    xcb_flush(c_);
    return w;
}

uint32_t XDisplay::serverTime() {
    if (!clockWindow_) {
        clockWindow_ = xcb_generate_id(c_);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, 0, clockWindow_, root_, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    }
    // Appending nothing changes nothing, yet the server reports the change with its time.
    xcb_change_property(c_, XCB_PROP_MODE_APPEND, clockWindow_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(c_);
    // This connection selects no other events, so the notice is the next one.
    while (xcb_generic_event_t* e = xcb_wait_for_event(c_)) {
        Owned<xcb_generic_event_t> event(e);
        if ((e->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) continue;
        const auto* notice = reinterpret_cast<const xcb_property_notify_event_t*>(e);
        if (notice->window == clockWindow_) return notice->time;
    }
    return XCB_CURRENT_TIME;
}

void XDisplay::moveToDesktop(xcb_window_t w, uint32_t desktop) {
    sendToRoot(w, "_NET_WM_DESKTOP", desktop, 2);
}

void XDisplay::setState(xcb_window_t w, const char* state, bool on) {
    sendToRoot(w, "_NET_WM_STATE", on ? 1 : 0, atom(state));
}

bool XDisplay::hasState(xcb_window_t w, const char* state) {
    const auto states = cardinals(w, atom("_NET_WM_STATE"), XCB_ATOM_ATOM);
    return std::find(states.begin(), states.end(), atom(state)) != states.end();
}

bool XDisplay::i3Sync() {
    serverTime(); // makes the clock window, which receives the answer
    const uint32_t token = serverTime();
    const xcb_atom_t type = atom("I3_SYNC");
    sendToRoot(root_, "I3_SYNC", clockWindow_, token);
    bool answered = false;
    waitFor(
        [&] {
            while (Owned<xcb_generic_event_t> event{xcb_poll_for_event(c_)}) {
                if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) continue;
                const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
                if (m->type == type && m->data.data32[1] == token) return answered = true;
            }
            return xcb_connection_has_error(c_) != 0;
        },
        std::chrono::seconds(10));
    return answered;
}

std::vector<xcb_window_t> XDisplay::children(xcb_window_t parent) {
    auto tree = takeReply(c_, xcb_query_tree(c_, parent), xcb_query_tree_reply);
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

bool XDisplay::isViewable(xcb_window_t w) {
    auto a = takeReply(c_, xcb_get_window_attributes(c_, w), xcb_get_window_attributes_reply);
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool XDisplay::isOverrideRedirect(xcb_window_t w) {
    auto a = takeReply(c_, xcb_get_window_attributes(c_, w), xcb_get_window_attributes_reply);
    return a && a->override_redirect;
}

xcb_window_t XDisplay::shownPanel() {
    for (xcb_window_t w : children(root_))
        if (isOverrideRedirect(w) && isViewable(w) && title(w) == "Velora") return w;
    return 0;
}

bool XDisplay::hasSystemTray() {
    auto r = takeReply(c_, xcb_get_selection_owner(c_, atom("_NET_SYSTEM_TRAY_S0")),
                       xcb_get_selection_owner_reply);
    return r && r->owner != XCB_NONE;
}

xcb_window_t XDisplay::embeddedWindowOf(pid_t wanted) {
    const std::vector<xcb_window_t> managed = clientList();
    std::vector<xcb_window_t> pending = children(root_);
    while (!pending.empty()) {
        const xcb_window_t parent = pending.back();
        pending.pop_back();
        for (xcb_window_t w : children(parent)) {
            pending.push_back(w);
            if (pid(w) == wanted && isViewable(w) && std::ranges::find(managed, w) == managed.end()) return w;
        }
    }
    return 0;
}

xcb_window_t XDisplay::inputFocus() {
    auto r = takeReply(c_, xcb_get_input_focus(c_), xcb_get_input_focus_reply);
    return r ? r->focus : XCB_NONE;
}

std::vector<xcb_window_t> XDisplay::popupsOf(pid_t wanted) {
    std::vector<xcb_window_t> out;
    for (xcb_window_t w : children(root_))
        if (isOverrideRedirect(w) && isViewable(w) && pid(w) == wanted) out.push_back(w);
    return out;
}

void XDisplay::key(uint8_t xKeycode, bool press) {
    xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, xKeycode, XCB_CURRENT_TIME, root_, 0, 0,
                        0);
    sync();
}

bool XDisplay::grabKeyboard(bool grab) {
    if (!grab) {
        xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
        sync();
        return true;
    }
    auto r = takeReply(
        c_, xcb_grab_keyboard(c_, 0, root_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        xcb_grab_keyboard_reply);
    return r && r->status == XCB_GRAB_STATUS_SUCCESS;
}

std::vector<xcb_keycode_t> XDisplay::keycodesOf(uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
    auto map = takeReply(c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, count),
                         xcb_get_keyboard_mapping_reply);
    std::vector<xcb_keycode_t> out;
    if (!map) return out;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int per = map->keysyms_per_keycode;
    for (int k = 0; k < count; ++k)
        if (std::find(syms + k * per, syms + (k + 1) * per, keysym) != syms + (k + 1) * per)
            out.push_back(xcb_keycode_t(setup->min_keycode + k));
    return out;
}

bool XDisplay::canGrab(uint32_t keysym, uint16_t modifiers) {
    const auto codes = keycodesOf(keysym);
    if (codes.empty()) return false;
    Owned<xcb_generic_error_t> error(
        xcb_request_check(c_, xcb_grab_key_checked(c_, 0, root_, modifiers, codes.front(),
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    if (error) return false;
    xcb_ungrab_key(c_, codes.front(), root_, modifiers);
    xcb_flush(c_);
    return true;
}

uint16_t XDisplay::modifierMaskOf(uint32_t keysym) {
    const auto codes = keycodesOf(keysym);
    auto map = takeReply(c_, xcb_get_modifier_mapping(c_), xcb_get_modifier_mapping_reply);
    if (!map || codes.empty()) return 0;
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(map.get());
    const int per = map->keycodes_per_modifier;
    for (int i = 0; i < 8 * per; ++i)
        if (std::find(codes.begin(), codes.end(), keys[i]) != codes.end()) return uint16_t(1u << (i / per));
    return 0;
}

void XDisplay::setDesktopColour(uint32_t rgb) {
    xcb_change_window_attributes(c_, root_, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(c_, 0, root_, 0, 0, 0, 0);
    xcb_flush(c_);
}

QRect XDisplay::rootGeometry(xcb_window_t w) {
    auto t = takeReply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0), xcb_translate_coordinates_reply);
    auto g = takeReply(c_, xcb_get_geometry(c_, w), xcb_get_geometry_reply);
    return t && g ? QRect(t->dst_x, t->dst_y, g->width, g->height) : QRect();
}

QImage XDisplay::screenshot() {
    const uint16_t w = screenInfo_->width_in_pixels, h = screenInfo_->height_in_pixels;
    auto r = takeReply(c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, 0, 0, w, h, ~0u),
                       xcb_get_image_reply);
    if (!r || r->depth != 24 || xcb_get_image_data_length(r.get()) < int(w) * h * 4) return {};
    // Depth 24 comes as 32 bits per pixel, little-endian BGRX: Qt's ARGB32 on this machine with
    // the server's padding byte (0) as alpha, which the conversion to RGB32 makes 0xff.
    return QImage(xcb_get_image_data(r.get()), w, h, w * 4, QImage::Format_ARGB32)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace velora::test
