#include "x_observer.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace velora::e2e {

namespace {

template <typename T>
struct Freed {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Freed<T>>;

} // namespace

std::unique_ptr<XObserver> XObserver::connect() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return nullptr;
    xcb_connection_t* c = xcb_connect(display, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    return std::unique_ptr<XObserver>(new XObserver(c));
}

XObserver::XObserver(xcb_connection_t* c) : c_(c), screen_(xcb_setup_roots_iterator(xcb_get_setup(c)).data) {}

XObserver::~XObserver() { xcb_disconnect(c_); }

xcb_atom_t XObserver::atom(const char* name) {
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<uint32_t> XObserver::cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, property, type, 0, 4096), nullptr));
    if (!r || r->format != 32) return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return {data, data + xcb_get_property_value_length(r.get()) / 4};
}

xcb_window_t XObserver::activeWindow() {
    auto v = cardinals(screen_->root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return v.empty() ? 0 : v.front();
}

std::vector<xcb_window_t> XObserver::clientList() {
    auto v = cardinals(screen_->root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    return {v.begin(), v.end()};
}

std::string XObserver::title(xcb_window_t w) {
    for (auto [property, type] : {std::pair{atom("_NET_WM_NAME"), atom("UTF8_STRING")},
                                  std::pair{xcb_atom_t(XCB_ATOM_WM_NAME), xcb_atom_t(XCB_ATOM_ANY)}}) {
        Reply<xcb_get_property_reply_t> r(
            xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, property, type, 0, 1024), nullptr));
        if (r && r->format == 8 && xcb_get_property_value_length(r.get()) > 0)
            return {static_cast<const char*>(xcb_get_property_value(r.get())),
                    std::size_t(xcb_get_property_value_length(r.get()))};
    }
    return {};
}

std::optional<pid_t> XObserver::pid(xcb_window_t w) {
    auto v = cardinals(w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (v.empty()) return std::nullopt;
    return pid_t(v.front());
}

bool XObserver::isHidden(xcb_window_t w) {
    const xcb_atom_t hidden = atom("_NET_WM_STATE_HIDDEN");
    for (uint32_t a : cardinals(w, atom("_NET_WM_STATE"), XCB_ATOM_ATOM))
        if (a == hidden) return true;
    return false;
}

xcb_window_t XObserver::clientTitled(const std::string& wanted) {
    for (xcb_window_t w : clientList())
        if (title(w) == wanted) return w;
    return 0;
}

void XObserver::closeWindow(xcb_window_t w) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = w;
    m.type = atom("_NET_CLOSE_WINDOW");
    m.data.data32[1] = 2; // from a pager or other direct user action
    xcb_send_event(c_, 0, screen_->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&m));
    xcb_flush(c_);
}

bool XObserver::hasSystemTray() {
    Reply<xcb_get_selection_owner_reply_t> r(
        xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, atom("_NET_SYSTEM_TRAY_S0")), nullptr));
    return r && r->owner != XCB_NONE;
}

xcb_window_t XObserver::shownPanel() {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c_, xcb_query_tree(c_, screen_->root), nullptr));
    if (!tree) return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, children[i]), nullptr));
        if (a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE && title(children[i]) == "Velora")
            return children[i];
    }
    return 0;
}

std::vector<xcb_keycode_t> XObserver::keycodesOf(uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
    Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
        c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, count), nullptr));
    std::vector<xcb_keycode_t> out;
    if (!map) return out;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int per = map->keysyms_per_keycode;
    for (int k = 0; k < count; ++k)
        for (int j = 0; j < per; ++j)
            if (syms[k * per + j] == keysym) {
                out.push_back(xcb_keycode_t(setup->min_keycode + k));
                break;
            }
    return out;
}

bool XObserver::canGrab(uint32_t keysym, uint16_t modifiers) {
    const auto codes = keycodesOf(keysym);
    if (codes.empty()) return false;
    Reply<xcb_generic_error_t> error(xcb_request_check(
        c_, xcb_grab_key_checked(c_, 0, screen_->root, modifiers, codes.front(), XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC)));
    if (error) return false;
    xcb_ungrab_key(c_, codes.front(), screen_->root, modifiers);
    xcb_flush(c_);
    return true;
}

uint16_t XObserver::modifierMaskOf(uint32_t keysym) {
    const auto codes = keycodesOf(keysym);
    Reply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(c_, xcb_get_modifier_mapping(c_), nullptr));
    if (!map || codes.empty()) return 0;
    const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(map.get());
    const int per = map->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int j = 0; j < per; ++j)
            for (xcb_keycode_t code : codes)
                if (keys[mod * per + j] == code) return uint16_t(1u << mod);
    return 0;
}

QImage XObserver::screenshot() {
    const uint16_t w = screen_->width_in_pixels, h = screen_->height_in_pixels;
    Reply<xcb_get_image_reply_t> r(xcb_get_image_reply(
        c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, 0, 0, w, h, ~0u), nullptr));
    if (!r || r->depth != 24) return {};
    const int length = xcb_get_image_data_length(r.get());
    if (length < int(w) * h * 4) return {};
    // Depth 24 comes as 32 bits per pixel, little-endian BGRX: Qt's RGB32 on this machine.
    QImage image = QImage(xcb_get_image_data(r.get()), w, h, w * 4, QImage::Format_RGB32).copy();
    // The server's padding byte is 0; Qt's RGB32 wants 0xff there.
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] |= 0xff000000u;
    }
    return image;
}

void XObserver::setDesktopColour(uint32_t rgb) {
    xcb_change_window_attributes(c_, screen_->root, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(c_, 0, screen_->root, 0, 0, 0, 0);
    xcb_flush(c_);
}

QRect XObserver::geometry(xcb_window_t w) {
    Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
    if (!g) return {};
    return QRect(g->x, g->y, g->width, g->height);
}

} // namespace velora::e2e
