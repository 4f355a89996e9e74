#include "platform/x11/x11_window_server.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "platform/trace.h"
#include "platform/x11/x11_context.h"
#include "platform/x11/x11_geometry.h"
#include "platform/x11/x11_reply.h"

namespace velora::x11 {

WindowInfoList X11WindowServer::copyWindowInfo(uint32_t option, uint32_t) {
    if (x_->lost.load()) return nullptr;
    auto tree = takeReply(x_->c, xcb_query_tree(x_->c, x_->root), xcb_query_tree_reply);
    if (!tree) return nullptr;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());

    std::map<xcb_window_t, ClientInfo> clients;
    std::vector<xcb_window_t> clientOrder;
    for (ClientInfo& info : x_->cache.clientsFrontFirst()) {
        clientOrder.push_back(info.window);
        clients.emplace(info.window, std::move(info));
    }
    const auto frames = x_->cache.frames();
    const auto popUps = x_->cache.popUps();
    const RootState root = x_->cache.root();

    struct Entry {
        xcb_window_t window;
        const ClientInfo* client; // null for a pop-up
        pid_t popUpOwner;
    };
    std::vector<Entry> entries;
    std::set<xcb_window_t> listed;
    for (int i = count - 1; i >= 0; --i) { // the tree lists the bottom child first
        const xcb_window_t child = children[i];
        xcb_window_t client = child;
        if (auto f = frames.find(child); f != frames.end()) client = f->second;
        if (auto c = clients.find(client); c != clients.end()) {
            if (listed.insert(client).second) entries.push_back({client, &c->second, 0});
        } else if (auto p = popUps.find(child); p != popUps.end()) {
            entries.push_back({child, nullptr, p->second});
        }
    }
    for (xcb_window_t w : clientOrder) // managed windows whose frame the tree did not show
        if (listed.insert(w).second) entries.push_back({w, &clients.at(w), 0});

    std::vector<xcb_window_t> windows;
    windows.reserve(entries.size());
    for (const Entry& e : entries)
        windows.push_back(e.window);
    const auto places = windowPlaces(x_->c, x_->root, windows);

    auto list = std::make_shared<std::vector<WindowInfo>>();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (!places[i]) continue; // gone meanwhile
        if ((option & kWindowListExcludeDesktopElements) && e.client && e.client->isDesktopElement(x_->atoms))
            continue;
        WindowInfo info;
        info.number = e.window;
        info.bounds = places[i]->bounds;
        if (e.client) {
            info.ownerPID = e.client->pid;
            info.layer = e.client->layer(x_->atoms);
            info.name = e.client->title();
            info.isOnscreen = places[i]->viewable && e.client->isOnDesktop(root.currentDesktop);
        } else {
            info.ownerPID = e.popUpOwner;
            info.layer = kPopUpLayer;
            info.isOnscreen = places[i]->viewable;
        }
        list->push_back(std::move(info));
    }
    return list;
}

bool X11WindowServer::windowBounds(uint32_t number, Rect& out) {
    if (!x_->cache.isClient(number) && !x_->cache.isPopUp(number)) return false;
    auto place = windowPlace(x_->c, x_->root, number);
    if (!place) return false;
    out = place->bounds;
    return true;
}

int32_t X11WindowServer::windowSpace(uint32_t number) {
    auto info = x_->cache.client(number);
    if (!info || !info->hasDesktop) return 0;
    if (info->isSticky()) return int32_t(x_->cache.root().currentDesktop) + 1;
    if (info->desktop >= 0x7FFFFFFF) return 0;
    return int32_t(info->desktop) + 1;
}

std::vector<uint32_t> X11WindowServer::spaceWindowList(int32_t space) {
    std::vector<uint32_t> out;
    if (space < 1 || uint32_t(space) > x_->cache.root().desktops) return out;
    for (const ClientInfo& info : x_->cache.clientsFrontFirst())
        if (info.hasDesktop && (info.isSticky() || info.desktop == uint32_t(space - 1)))
            out.push_back(info.window);
    return out;
}

QImage X11WindowServer::captureWindow(uint32_t number, Size size) {
    if (x_->lost.load()) return {};
    if (x_->cache.isClient(number) || x_->cache.isPopUp(number)) return x_->pictures.capture(number, size);
    return {};
}

std::optional<uint64_t> X11WindowServer::windowContentsVersion(uint32_t number) {
    if (x_->lost.load()) return std::nullopt;
    return x_->pictures.contentsVersion(number);
}

bool X11WindowServer::compositingActive() {
    if (x_->lost.load() || x_->compositorSelection == XCB_ATOM_NONE) return false;
    auto owner = takeReply(x_->c, xcb_get_selection_owner(x_->c, x_->compositorSelection),
                           xcb_get_selection_owner_reply);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

void X11WindowServer::willTakeOffScreen(uint32_t) {
    if (x_->lost.load()) return;
    x_->cache.holdActive();
    x_->watchRequestLapse();
    if (trace::enabled()) trace::mark("hold");
}

bool X11WindowServer::waitUntilOffScreen(uint32_t windowNumber, double timeout) {
    // The program's windows are Qt's, made and unmapped on Qt's connection: send what it holds.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (auto* x11 = gui->nativeInterface<QNativeInterface::QX11Application>())
            if (xcb_connection_t* qt = x11->connection()) xcb_flush(qt);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(timeout));
    for (;;) {
        if (x_->lost.load()) return true;
        // Counted before asking, so that an unmap handled between the answer and the wait
        // ends the wait.
        const uint64_t seen = x_->unmaps.count();
        auto attributes =
            takeReply(x_->c, xcb_get_window_attributes(x_->c, windowNumber), xcb_get_window_attributes_reply);
        if (!attributes || attributes->map_state == XCB_MAP_STATE_UNMAPPED) return true;
        if (!x_->unmaps.waitPast(seen, deadline)) return false;
    }
}

} // namespace velora::x11
