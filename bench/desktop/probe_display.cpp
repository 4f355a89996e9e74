#include "probe_display.h"

#include <poll.h>
#include <time.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

namespace probe {

int64_t nowNs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void sleepMs(double ms) {
    if (ms <= 0) return;
    timespec t{};
    t.tv_sec = time_t(ms / 1000);
    t.tv_nsec = long((ms - double(t.tv_sec) * 1000) * 1e6);
    ::nanosleep(&t, nullptr);
}

namespace {

uint8_t keycodeFor(xcb_connection_t* c, uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t first = setup->min_keycode;
    const uint8_t count = uint8_t(setup->max_keycode - first + 1);
    xcb_get_keyboard_mapping_reply_t* r =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, count), nullptr);
    if (!r) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
    const int per = r->keysyms_per_keycode;
    uint8_t found = 0;
    for (int k = 0; k < count && !found; ++k)
        for (int l = 0; l < per; ++l)
            if (syms[k * per + l] == keysym) {
                found = uint8_t(first + k);
                break;
            }
    std::free(r);
    return found;
}

} // namespace

std::optional<Display> Display::open() {
    Display d;
    d.c_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(d.c_)) return std::nullopt;
    d.root_ = xcb_setup_roots_iterator(xcb_get_setup(d.c_)).data->root;
    const char* name = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* a =
        xcb_intern_atom_reply(d.c_, xcb_intern_atom(d.c_, 0, uint16_t(std::strlen(name)), name), nullptr);
    d.activeAtom_ = a ? a->atom : 0;
    std::free(a);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(d.c_, d.root_, XCB_CW_EVENT_MASK, &mask);
    d.alt_ = keycodeFor(d.c_, 0xffe9); // Alt_L
    d.tab_ = keycodeFor(d.c_, 0xff09); // Tab
    xcb_flush(d.c_);
    if (!d.alt_ || !d.tab_) return std::nullopt;
    return d;
}

Display::Display(Display&& other) noexcept
    : c_(other.c_), root_(other.root_), activeAtom_(other.activeAtom_), alt_(other.alt_), tab_(other.tab_) {
    other.c_ = nullptr;
}

Display::~Display() {
    if (c_) xcb_disconnect(c_);
}

void Display::press(uint8_t keycode) {
    xcb_test_fake_input(c_, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_flush(c_);
}

void Display::release(uint8_t keycode) {
    xcb_test_fake_input(c_, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_flush(c_);
}

uint32_t Display::readActive() {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, root_, activeAtom_, XCB_ATOM_WINDOW, 0, 1), nullptr);
    uint32_t value = 0;
    if (r && xcb_get_property_value_length(r) >= 4)
        std::memcpy(&value, xcb_get_property_value(r), sizeof value);
    std::free(r);
    return value;
}

uint32_t Display::activeWindow() {
    return readActive();
}

xcb_generic_event_t* Display::nextEvent(int64_t deadlineNs, int64_t& stamp) {
    for (;;) {
        if (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
            stamp = nowNs();
            return e;
        }
        const int64_t left = deadlineNs - nowNs();
        if (left <= 0 || xcb_connection_has_error(c_)) return nullptr;
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        ::poll(&p, 1, int(left / 1000000) + 1);
    }
}

std::optional<int64_t> Display::waitForActiveChange(uint32_t old, double timeoutMs) {
    const int64_t deadline = nowNs() + int64_t(timeoutMs * 1e6);
    for (;;) {
        int64_t stamp = 0;
        xcb_generic_event_t* e = nextEvent(deadline, stamp);
        if (!e) return std::nullopt;
        const bool candidate = (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                               reinterpret_cast<xcb_property_notify_event_t*>(e)->atom == activeAtom_;
        std::free(e);
        // The stamp is the notice's arrival; the read only tells which window it is.
        if (candidate) {
            const uint32_t now = readActive();
            if (now != 0 && now != old) return stamp;
        }
    }
}

std::optional<int64_t> Display::waitForPanelMap(double timeoutMs) {
    const int64_t deadline = nowNs() + int64_t(timeoutMs * 1e6);
    for (;;) {
        int64_t stamp = 0;
        xcb_generic_event_t* e = nextEvent(deadline, stamp);
        if (!e) return std::nullopt;
        const bool panel = (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                           reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
        std::free(e);
        if (panel) return stamp;
    }
}

void Display::drain() {
    // A round trip first, so that everything sent before the call has arrived.
    std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_))
        std::free(e);
}

} // namespace probe
