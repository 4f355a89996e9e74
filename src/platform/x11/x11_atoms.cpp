#include "platform/x11/x11_atoms.h"

#include <cstring>
#include <vector>

#include "platform/x11/x11_reply.h"

namespace velora::x11 {

bool Atoms::intern(xcb_connection_t* c) {
    struct Pending {
        xcb_atom_t* slot;
        xcb_intern_atom_cookie_t cookie;
    };
    std::vector<Pending> pending;
#define VELORA_X11_ATOM_REQUEST(name)                                                                        \
    pending.push_back({&(name), xcb_intern_atom(c, 0, uint16_t(std::strlen(#name)), #name)});
    VELORA_X11_ATOMS(VELORA_X11_ATOM_REQUEST)
#undef VELORA_X11_ATOM_REQUEST
    bool all = true;
    for (const Pending& p : pending) {
        auto reply = takeReply(c, p.cookie, xcb_intern_atom_reply);
        if (reply)
            *p.slot = reply->atom;
        else
            all = false;
    }
    return all;
}

} // namespace velora::x11
