// Opens N plain client windows with distinct titles and classes and keeps them until killed:
// the cheap desktop the side-by-side measurement switches through.
//
//   velora_bench_windows COUNT [NAME] [--redraw-ms MS]
//
// Each window accepts the focus (WM_HINTS input), names itself "NAME window I" and carries
// WM_CLASS "NAME-I" / "BenchWindow" and _NET_WM_PID, as ordinary applications do. Windows
// are cascaded over the screen and filled with a colour of their own, so that each picture
// differs. With --redraw-ms each window is drawn again in a new colour every MS milliseconds,
// as a clock or a terminal with output does.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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
        std::fprintf(stderr, "usage: velora_bench_windows COUNT [NAME]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    const std::string name = argc > 2 ? argv[2] : "bench";
    const int redrawMs = argc > 4 && !std::strcmp(argv[3], "--redraw-ms") ? std::atoi(argv[4]) : 0;
    std::vector<xcb_window_t> windows;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "velora_bench_windows: cannot open the display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t netPid = atom(c, "_NET_WM_PID");
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
    const uint32_t pid = uint32_t(::getpid());
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);

    for (int i = 0; i < count; ++i) {
        const xcb_window_t w = xcb_generate_id(c);
        // A colour per window and process, so pictures differ.
        const uint32_t colour = (uint32_t(i * 40503u + pid * 2654435761u) & 0xffffffu) | 0x202020u;
        const uint32_t values[] = {colour, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        const int16_t x = int16_t(20 + (i * 23) % 700);
        const int16_t y = int16_t(20 + (i * 17) % 400);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, x, y, 320, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const std::string title = name + " window " + std::to_string(i);
        setText(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
        setText(c, w, netName, utf8, title);
        const std::string instance = name + "-" + std::to_string(i);
        std::string wmClass = instance + '\0' + "BenchWindow" + '\0';
        setText(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
        setText(c, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, host);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netPid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        // WM_HINTS: flags InputHint, input True.
        const uint32_t hints[9] = {1, 1, 0, 0, 0, 0, 0, 0, 0};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
        xcb_map_window(c, w);
        windows.push_back(w);
    }
    xcb_flush(c);
    // Serve until killed or the server goes; a closed window is simply gone.
    for (uint32_t round = 1;; ++round) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c)) break;
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            if (::poll(&fd, 1, redrawMs > 0 ? redrawMs : -1) == 0) {
                for (std::size_t i = 0; i < windows.size(); ++i) {
                    const uint32_t colour =
                        (uint32_t((i + round) * 40503u + pid * 2654435761u) & 0xffffffu) | 0x202020u;
                    xcb_change_window_attributes(c, windows[i], XCB_CW_BACK_PIXEL, &colour);
                    xcb_clear_area(c, 0, windows[i], 0, 0, 0, 0);
                }
                xcb_flush(c);
            }
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == protocols && message->data.data32[0] == deleteWindow) {
                xcb_destroy_window(c, message->window);
                xcb_flush(c);
            }
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
