// The hot keys' passive grabs on a desktop of N top-level windows (the root's children, where
// the keys are grabbed too): taking the six cycle keys at start (the root's grabs checked, the
// children's mirrored), and one window appearing while they are held. Each on a connection of
// its own, against the X server named by DISPLAY; without one every benchmark skips.
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

#include "platform/virtual_keys.h"
#include "platform/x11/x11_key_grabs.h"

namespace velora::x11 {
namespace {

// The six cycle keys (Tab and the key above it, with Alt or Super, with and without Shift)
// under the four lock states.
std::set<KeyGrab> cycleKeyGrabs() {
    const ModifierMap map; // Alt is Mod1, Super Mod4, NumLock Mod2
    const uint64_t alt = kEventFlagCommand, super = kEventFlagOption, shift = kEventFlagShift;
    std::vector<InterceptedKey> keys;
    for (uint64_t mods : {alt, alt | shift, super, super | shift})
        keys.push_back({vk::Tab, mods, false});
    for (uint64_t mods : {alt, alt | shift})
        keys.push_back({vk::Grave, mods, false});
    return grabsFor(keys, map);
}

// N unmapped children of the root, made by a connection of their own (another client's
// windows), and the connection the grabs go through.
class Desktop {
  public:
    explicit Desktop(int windows) {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) return;
        owner_ = xcb_connect(nullptr, nullptr);
        c_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(owner_) || xcb_connection_has_error(c_)) return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(owner_)).data->root;
        for (int i = 0; i < windows; ++i) {
            const xcb_window_t w = xcb_generate_id(owner_);
            xcb_create_window(owner_, XCB_COPY_FROM_PARENT, w, root_, 0, 0, 64, 64, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
            windows_.push_back(w);
        }
        syncOwner();
        ok_ = true;
    }
    ~Desktop() {
        if (owner_) xcb_disconnect(owner_);
        if (c_) xcb_disconnect(c_);
    }
    bool ok() const { return ok_; }
    xcb_connection_t* connection() const { return c_; }
    xcb_window_t root() const { return root_; }
    const std::vector<xcb_window_t>& windows() const { return windows_; }
    // A new window of the other client's.
    xcb_window_t newWindow() {
        const xcb_window_t w = xcb_generate_id(owner_);
        xcb_create_window(owner_, XCB_COPY_FROM_PARENT, w, root_, 0, 0, 64, 64, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        syncOwner();
        return w;
    }
    void destroy(xcb_window_t w) {
        xcb_destroy_window(owner_, w);
        xcb_flush(owner_);
    }
    // Waits until the server has handled every request of the grabbing connection.
    void sync() const { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

  private:
    void syncOwner() const {
        std::free(xcb_get_input_focus_reply(owner_, xcb_get_input_focus(owner_), nullptr));
    }

    bool ok_ = false;
    xcb_connection_t* owner_ = nullptr;
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
    std::vector<xcb_window_t> windows_;
};

// Start-up: the children listed, then the cycle keys taken, for as long as the caller waits
// (the server's answers for the root's grabs; the children's grabs are not waited for); in one
// change (together:1, all six hot keys at once) or one hot key after the other (together:0,
// six changes, each waiting for the server's answers, queued behind the children's grabs of
// the change before).
void GrabsAtStart(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    if (!desktop.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    const bool together = state.range(1) != 0;
    const std::set<KeyGrab> wanted = cycleKeyGrabs();
    for (auto _ : state) {
        KeyGrabs grabs(desktop.connection(), desktop.root());
        for (xcb_window_t w : desktop.windows())
            grabs.addRootChild(w);
        if (together) {
            benchmark::DoNotOptimize(grabs.apply(wanted));
        } else {
            std::set<KeyGrab> some;
            for (const KeyGrab& g : wanted) {
                some.insert(g);
                if (some.size() % 4 == 0) benchmark::DoNotOptimize(grabs.apply(some));
            }
        }
        state.PauseTiming();
        desktop.sync();
        grabs.apply({});
        desktop.sync();
        state.ResumeTiming();
    }
    state.counters["grabs"] = double(wanted.size() * (desktop.windows().size() + 1));
}
BENCHMARK(GrabsAtStart)
    ->ArgsProduct({{1, 21, 200}, {0, 1}})
    ->ArgNames({"windows", "together"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// A window appears while the keys are held: its grabs, for as long as the caller waits.
void GrabsOnANewWindow(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    if (!desktop.ok()) {
        state.SkipWithError("no X display");
        return;
    }
    KeyGrabs grabs(desktop.connection(), desktop.root());
    for (xcb_window_t w : desktop.windows())
        grabs.addRootChild(w);
    grabs.apply(cycleKeyGrabs());
    for (auto _ : state) {
        state.PauseTiming();
        const xcb_window_t w = desktop.newWindow();
        state.ResumeTiming();
        grabs.addRootChild(w);
        state.PauseTiming();
        desktop.sync();
        grabs.removeRootChild(w, false);
        desktop.destroy(w);
        state.ResumeTiming();
    }
    grabs.apply({});
}
BENCHMARK(GrabsOnANewWindow)->Arg(21)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
} // namespace velora::x11
