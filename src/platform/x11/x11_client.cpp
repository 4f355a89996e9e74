#include "platform/x11/x11_client.h"

#include <xcb/res.h>

#include <algorithm>
#include <cstring>

#include "platform/ax_names.h"
#include "platform/x11/x11_properties.h"
#include "platform/x11/x11_text.h"

namespace velora::x11 {

bool ClientInfo::hasState(xcb_atom_t state) const {
    return std::find(netState.begin(), netState.end(), state) != netState.end();
}

bool ClientInfo::hasType(xcb_atom_t type) const {
    return std::find(types.begin(), types.end(), type) != types.end();
}

bool ClientInfo::allows(xcb_atom_t action) const {
    return !hasAllowedActions ||
           std::find(allowedActions.begin(), allowedActions.end(), action) != allowedActions.end();
}

bool ClientInfo::isMinimized(xcb_atom_t hiddenState, xcb_atom_t shadedState, bool managerSetsHidden) const {
    if (managerSetsHidden) return hasState(hiddenState) && !hasState(shadedState);
    return hasWmState && wmState == kIconicState;
}

pid_t ClientInfo::ownerPid(const std::string& localHost) const {
    if (resourcePid > 0) return resourcePid;
    if (netWmPid == 0 || netWmPid > 0x7FFFFFFF) return 0;
    // A pid set by a client on another machine names a process there.
    if (!clientMachine.empty() && clientMachine != localHost) return 0;
    return pid_t(netWmPid);
}

std::string ClientInfo::subrole(const Atoms& atoms) const {
    // The first type the backend knows decides; a window without a type is normal, or a
    // dialog when it is transient for another (as the window manager treats it).
    for (xcb_atom_t t : types) {
        if (t == atoms._NET_WM_WINDOW_TYPE_NORMAL) return ax::SubroleStandardWindow;
        if (t == atoms._NET_WM_WINDOW_TYPE_DIALOG) return ax::SubroleDialog;
        if (t == atoms._NET_WM_WINDOW_TYPE_UTILITY || t == atoms._NET_WM_WINDOW_TYPE_TOOLBAR ||
            t == atoms._NET_WM_WINDOW_TYPE_MENU)
            return ax::SubroleFloatingWindow;
        if (t == atoms._NET_WM_WINDOW_TYPE_DOCK || t == atoms._NET_WM_WINDOW_TYPE_DESKTOP ||
            t == atoms._NET_WM_WINDOW_TYPE_SPLASH)
            return ax::SubroleUnknown;
    }
    if (!types.empty()) return ax::SubroleUnknown;
    return transientFor != kNoWindow ? ax::SubroleDialog : ax::SubroleStandardWindow;
}

int32_t ClientInfo::layer(const Atoms& atoms) const {
    if (hasType(atoms._NET_WM_WINDOW_TYPE_DESKTOP)) return kDesktopLayer;
    if (hasType(atoms._NET_WM_WINDOW_TYPE_DOCK)) return kDockLayer;
    // A window kept above the others (_NET_WM_STATE_ABOVE) stays on the ordinary layer: on X11
    // that is a state the user gives any window from the manager's menu, not a kind of window,
    // and only ordinary-layer windows are switched to.
    return 0;
}

bool ClientInfo::canMinimize(const Atoms& atoms) const {
    if (hasType(atoms._NET_WM_WINDOW_TYPE_DOCK) || hasType(atoms._NET_WM_WINDOW_TYPE_DESKTOP) ||
        hasType(atoms._NET_WM_WINDOW_TYPE_SPLASH) || hasType(atoms._NET_WM_WINDOW_TYPE_MENU))
        return false;
    return true;
}

std::vector<xcb_atom_t> ClientReader::trackedProperties() const {
    return {atoms_._NET_WM_NAME,      XCB_ATOM_WM_NAME,
            XCB_ATOM_WM_CLASS,        atoms_._NET_WM_PID,
            atoms_.WM_CLIENT_MACHINE, atoms_._NET_WM_DESKTOP,
            atoms_._NET_WM_STATE,     atoms_._NET_WM_WINDOW_TYPE,
            atoms_.WM_PROTOCOLS,      atoms_._NET_WM_ALLOWED_ACTIONS,
            XCB_ATOM_WM_HINTS,        atoms_.WM_STATE,
            XCB_ATOM_WM_TRANSIENT_FOR};
}

void ClientReader::apply(ClientInfo& info, xcb_atom_t property, const xcb_get_property_reply_t* reply) const {
    if (property == atoms_._NET_WM_NAME) {
        info.netName = textValue(reply);
    } else if (property == XCB_ATOM_WM_NAME) {
        info.wmName = textValue(reply);
    } else if (property == XCB_ATOM_WM_CLASS) {
        auto [instance, className] = classValue(reply);
        info.instance = std::move(instance);
        info.className = std::move(className);
    } else if (property == atoms_._NET_WM_PID) {
        info.netWmPid = 0;
        firstValue32(reply, info.netWmPid);
    } else if (property == atoms_.WM_CLIENT_MACHINE) {
        info.clientMachine = textValue(reply);
    } else if (property == atoms_._NET_WM_DESKTOP) {
        info.hasDesktop = firstValue32(reply, info.desktop);
    } else if (property == atoms_._NET_WM_STATE) {
        info.netState = values32(reply);
    } else if (property == atoms_._NET_WM_WINDOW_TYPE) {
        info.types = values32(reply);
    } else if (property == atoms_.WM_PROTOCOLS) {
        const auto protocols = values32(reply);
        const auto has = [&](xcb_atom_t a) {
            return std::find(protocols.begin(), protocols.end(), a) != protocols.end();
        };
        info.deleteWindow = has(atoms_.WM_DELETE_WINDOW);
        info.ping = has(atoms_._NET_WM_PING);
        info.takeFocus = has(atoms_.WM_TAKE_FOCUS);
    } else if (property == atoms_._NET_WM_ALLOWED_ACTIONS) {
        info.hasAllowedActions = reply && reply->type != XCB_ATOM_NONE;
        info.allowedActions = values32(reply);
    } else if (property == XCB_ATOM_WM_HINTS) {
        // flags, input, initial_state, ...: the input field counts when its flag bit is set.
        const auto hints = values32(reply);
        info.acceptsInput = hints.size() < 2 || !(hints[0] & 1) || hints[1] != 0;
    } else if (property == atoms_.WM_STATE) {
        info.hasWmState = firstValue32(reply, info.wmState);
    } else if (property == XCB_ATOM_WM_TRANSIENT_FOR) {
        info.transientFor = kNoWindow;
        firstValue32(reply, info.transientFor);
    }
}

bool ClientReader::load(xcb_window_t window, ClientInfo& out) const {
    const auto properties = trackedProperties();
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(properties.size());
    auto attributes = xcb_get_window_attributes(c_, window);
    for (xcb_atom_t p : properties)
        cookies.push_back(requestProperty(
            c_, window, p,
            p == atoms_._NET_WM_NAME || p == XCB_ATOM_WM_NAME ? uint32_t(kMaxTextBytes / 4) : kMaxListUnits));
    const bool alive = takeReply(c_, attributes, xcb_get_window_attributes_reply) != nullptr;
    out.window = window;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        auto reply = takeProperty(c_, cookies[i]);
        apply(out, properties[i], reply.get());
    }
    if (!alive) return false;
    out.resourcePid = resourceOwner(window);
    out.frame = findFrame(window);
    return true;
}

bool ClientReader::refresh(ClientInfo& info, xcb_atom_t property) const {
    const auto properties = trackedProperties();
    if (std::find(properties.begin(), properties.end(), property) == properties.end()) return false;
    const bool text = property == atoms_._NET_WM_NAME || property == XCB_ATOM_WM_NAME;
    auto reply = takeProperty(
        c_, requestProperty(c_, info.window, property, text ? uint32_t(kMaxTextBytes / 4) : kMaxListUnits));
    apply(info, property, reply.get());
    return true;
}

xcb_window_t ClientReader::findFrame(xcb_window_t window) const {
    xcb_window_t current = window;
    // Managers nest frames a few levels deep at most.
    for (int depth = 0; depth < 16; ++depth) {
        auto tree = takeReply(c_, xcb_query_tree(c_, current), xcb_query_tree_reply);
        if (!tree) return kNoWindow;
        if (tree->parent == root_ || tree->parent == kNoWindow) return current;
        current = tree->parent;
    }
    return kNoWindow;
}

pid_t ClientReader::resourceOwner(xcb_window_t window) const {
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto reply = takeReply(c_, xcb_res_query_client_ids(c_, 1, &spec), xcb_res_query_client_ids_reply);
    if (!reply) return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)) continue;
        if (xcb_res_client_id_value_value_length(it.data) < 1) continue;
        uint32_t pid = 0;
        std::memcpy(&pid, xcb_res_client_id_value_value(it.data), 4);
        if (pid > 0 && pid <= 0x7FFFFFFF) return pid_t(pid);
    }
    return 0;
}

} // namespace velora::x11
