// Window-server port of the simulated desktop.
#include "platform/sim/sim_state.h"

namespace velora::sim {

namespace {

class SimWindowServer final : public WindowServerPort {
  public:
    explicit SimWindowServer(SimDesktop::State& s) : s_(s) {}

    WindowInfoList copyWindowInfo(uint32_t option, uint32_t relativeTo) override {
        std::lock_guard lock(s_.mutex);
        s_.record("windowList", 0, relativeTo, std::to_string(option));
        auto list = std::make_shared<std::vector<WindowInfo>>();
        for (uint32_t n : s_.stacking) {
            const WindowState& w = s_.windows[n];
            if (!w.spec.inWindowServer) continue;
            if ((option & kWindowListExcludeDesktopElements) && w.spec.desktopElement) continue;
            WindowInfo info;
            info.number = w.number;
            info.ownerPID = w.pid;
            info.layer = w.spec.layer;
            info.bounds = s_.serverBounds(w);
            info.name = w.spec.serverName ? *w.spec.serverName : w.spec.title.value_or("");
            info.isOnscreen = s_.isOnscreen(w);
            list->push_back(std::move(info));
        }
        return list;
    }

    bool windowBounds(uint32_t number, Rect& out) override {
        std::lock_guard lock(s_.mutex);
        WindowState* w = s_.liveWindow(number);
        if (!w || !w->spec.inWindowServer) return false;
        out = s_.serverBounds(*w);
        return true;
    }

    int32_t windowSpace(uint32_t number) override {
        std::lock_guard lock(s_.mutex);
        WindowState* w = s_.liveWindow(number);
        return w ? w->spec.space : 0;
    }

    std::vector<uint32_t> spaceWindowList(int32_t space) override {
        std::lock_guard lock(s_.mutex);
        s_.record("spaceWindowList", 0, 0, std::to_string(space));
        std::vector<uint32_t> out;
        for (uint32_t n : s_.stacking)
            if (s_.windows[n].spec.space == space && s_.windows[n].spec.inWindowServer) out.push_back(n);
        return out;
    }

    QImage captureWindow(uint32_t number, Size size) override {
        std::function<void(uint32_t)> hook;
        {
            std::lock_guard lock(s_.mutex);
            s_.record("capture", 0, number);
            hook = s_.captureHook;
        }
        if (hook) hook(number);
        std::lock_guard lock(s_.mutex);
        WindowState* w = s_.liveWindow(number);
        if (!w || w->spec.captureFails || size.width < 1 || size.height < 1) return {};
        QImage image(int(size.width), int(size.height), QImage::Format_ARGB32_Premultiplied);
        image.fill(w->spec.color);
        return image;
    }

    std::optional<uint64_t> windowContentsVersion(uint32_t number) override {
        std::lock_guard lock(s_.mutex);
        WindowState* w = s_.liveWindow(number);
        if (!w) return std::nullopt;
        return w->contentsVersion;
    }

    // The simulated server takes a window off at once; the call is recorded, so that tests
    // see where it came among the requests.
    bool waitUntilOffScreen(uint32_t number, double) override {
        std::lock_guard lock(s_.mutex);
        s_.record("offScreen", 0, number);
        return true;
    }

  private:
    SimDesktop::State& s_;
};

} // namespace

std::unique_ptr<WindowServerPort> makeWindowServer(SimDesktop::State& s) {
    return std::make_unique<SimWindowServer>(s);
}

} // namespace velora::sim
