// A second X client for the conflict tests: binds a key on the root window the way a window
// manager does (passive grabs under the four lock states), says "held" once it has them, then
// prints "key CODE STATE" for every press that reaches it, until it is ended.
//   velora_e2e_key_holder KEYCODE MODIFIERS
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KEYCODE MODIFIERS\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "key_holder: no X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Mod2 is NumLock on the servers the tests run on.
    const uint16_t locks[4] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
    const auto code = uint8_t(std::atoi(argv[1]));
    const auto mods = uint16_t(std::atoi(argv[2]));
    bool all = true;
    for (uint16_t lock : locks) {
        xcb_generic_error_t* e =
            xcb_request_check(c, xcb_grab_key_checked(c, 0, root, uint16_t(mods | lock), code,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        all = all && !e;
        std::free(e);
    }
    std::puts(all ? "held" : "refused");
    std::fflush(stdout);
    while (xcb_generic_event_t* e = xcb_wait_for_event(c)) {
        if ((e->response_type & 0x7F) == XCB_KEY_PRESS) {
            const auto* k = reinterpret_cast<const xcb_key_press_event_t*>(e);
            std::printf("key %u %u\n", unsigned(k->detail), unsigned(k->state));
            std::fflush(stdout);
        }
        std::free(e);
    }
    return 0;
}
