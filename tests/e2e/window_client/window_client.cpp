// A plain X client that opens one top-level window per title given on its command line, all
// from one process, so the switcher sees one application with several windows. Each window
// takes input focus, accepts WM_DELETE_WINDOW by closing itself, and the program ends when
// its last window has gone.
//   velora_e2e_windows TITLE...
#include <cstdio>
#include <cstdlib>
#include <set>

#include "support/x11/x_display.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TITLE...\n", argv[0]);
        return 2;
    }
    velora::test::XDisplay x;
    if (!x.ok()) return 1;
    xcb_connection_t* c = x.connection();
    const xcb_atom_t protocols = x.atom("WM_PROTOCOLS"), deleteWindow = x.atom("WM_DELETE_WINDOW");
    // Soft colours, one per window, so the windows tell apart in pictures.
    const uint32_t colours[] = {0xc8ddf0, 0xf0dcc8, 0xd2ecd0, 0xe6d4ee};
    std::set<xcb_window_t> open;
    for (int i = 1; i < argc; ++i)
        open.insert(x.createClientWindow({argv[i],
                                          "velora-e2e-windows",
                                          "VeloraE2EWindows",
                                          colours[(i - 1) % 4],
                                          QRect(40 * i, 40 * i, 360, 240),
                                          {}}));

    while (!open.empty()) {
        xcb_generic_event_t* e = xcb_wait_for_event(c);
        if (!e) return 1; // the server went away
        switch (e->response_type & 0x7f) {
        case XCB_CLIENT_MESSAGE: {
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if (m->type == protocols && m->data.data32[0] == deleteWindow && open.count(m->window)) {
                xcb_destroy_window(c, m->window);
                open.erase(m->window);
                xcb_flush(c);
            }
            break;
        }
        case XCB_DESTROY_NOTIFY:
            open.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(e)->window);
            break;
        default:
            break;
        }
        std::free(e);
    }
    return 0;
}
