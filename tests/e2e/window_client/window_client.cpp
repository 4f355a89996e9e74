// A plain X client that opens one top-level window per title given on its command line, all
// from one process, so the switcher sees one application with several windows. Each window
// takes input focus, accepts WM_DELETE_WINDOW by closing itself, and the program ends when
// its last window has gone.
//   velora_e2e_windows TITLE...
#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

void setText(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
             const std::string& text) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 8, uint32_t(text.size()), text.data());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TITLE...\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS"), deleteWindow = atom(c, "WM_DELETE_WINDOW");
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME"), utf8 = atom(c, "UTF8_STRING"),
                     netPid = atom(c, "_NET_WM_PID");
    // Soft colours, one per window, so the windows tell apart in pictures.
    const uint32_t colours[] = {0xc8ddf0, 0xf0dcc8, 0xd2ecd0, 0xe6d4ee};
    const std::string wmClass = std::string("velora-e2e-windows") + '\0' + "VeloraE2EWindows" + '\0';
    const uint32_t pid = uint32_t(::getpid());

    std::set<xcb_window_t> open;
    for (int i = 1; i < argc; ++i) {
        const xcb_window_t w = xcb_generate_id(c);
        const uint32_t values[] = {colours[(i - 1) % 4], XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, int16_t(40 * i), int16_t(40 * i), 360,
                          240, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        setText(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, argv[i]);
        setText(c, w, netName, utf8, argv[i]);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            uint32_t(wmClass.size()), wmClass.data());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        const uint32_t hints[9] = {1 /* InputHint */, 1 /* takes input */};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
        xcb_map_window(c, w);
        open.insert(w);
    }
    xcb_flush(c);

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
    xcb_disconnect(c);
    return 0;
}
