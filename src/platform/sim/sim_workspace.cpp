// Workspace port of the simulated desktop.
#include <QPainter>
#include <algorithm>

#include "platform/sim/sim_state.h"

namespace velora::sim {

namespace {

class SimRunningApplication final : public RunningApplication {
  public:
    SimRunningApplication(SimDesktop::State& s, pid_t pid) : s_(s), pid_(pid) {}

  private:
    template <typename F> auto read(F f) const -> decltype(f(std::declval<const AppState&>())) {
        std::lock_guard lock(s_.mutex);
        auto it = s_.apps.find(pid_);
        if (it == s_.apps.end()) return {};
        return f(it->second);
    }

  public:
    pid_t processIdentifier() const override { return pid_; }
    std::string bundleIdentifier() const override {
        return read([](const AppState& a) { return a.spec.bundleIdentifier; });
    }
    std::string localizedName() const override {
        return read([](const AppState& a) { return a.spec.name; });
    }
    std::string bundlePath() const override {
        return read([](const AppState& a) { return a.spec.bundlePath; });
    }
    std::string executablePath() const override {
        return read([](const AppState& a) { return a.spec.executablePath; });
    }
    bool isHidden() const override {
        return read([](const AppState& a) { return a.spec.hidden; });
    }
    bool isFinishedLaunching() const override {
        return read([](const AppState& a) { return a.spec.finishedLaunching; });
    }
    bool isTerminated() const override {
        return read([](const AppState& a) { return a.terminated; });
    }
    bool isActive() const override {
        std::lock_guard lock(s_.mutex);
        return s_.active == pid_ && s_.liveApp(pid_);
    }

    ImageRef icon() const override {
        std::lock_guard lock(s_.mutex);
        if (!icon_) {
            auto it = s_.apps.find(pid_);
            QColor color = it != s_.apps.end() && it->second.spec.iconColor
                               ? *it->second.spec.iconColor
                               : QColor::fromHsv(int(pid_ * 47) % 360, 160, 200);
            std::vector<QImage> reps;
            for (int side : {16, 32, 128}) {
                QImage rep(side, side, QImage::Format_ARGB32_Premultiplied);
                rep.fill(Qt::transparent);
                QPainter p(&rep);
                p.setRenderHint(QPainter::Antialiasing);
                p.setBrush(color);
                p.setPen(Qt::NoPen);
                p.drawRoundedRect(QRectF(0, 0, side, side), side / 5.0, side / 5.0);
                reps.push_back(rep);
            }
            icon_ = std::make_shared<Image>(std::move(reps), Size{128, 128});
        }
        return icon_;
    }

    bool activateWithOptions(uint32_t options) override {
        std::lock_guard lock(s_.mutex);
        s_.record("activate", pid_, 0, std::to_string(options));
        if (!s_.liveApp(pid_)) return false;
        s_.activate(pid_, options & kActivateAllWindows);
        return true;
    }
    bool hide() override {
        std::lock_guard lock(s_.mutex);
        s_.record("hide", pid_);
        AppState* a = s_.liveApp(pid_);
        if (!a) return false;
        a->spec.hidden = true;
        if (s_.active == pid_) s_.passActivation();
        return true;
    }
    bool unhide() override {
        std::lock_guard lock(s_.mutex);
        s_.record("unhide", pid_);
        AppState* a = s_.liveApp(pid_);
        if (!a) return false;
        a->spec.hidden = false;
        return true;
    }
    bool terminate() override { return end("terminate", false); }
    bool forceTerminate() override { return end("forceTerminate", true); }

  private:
    bool end(const char* kind, bool force) {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(s_.mutex);
            s_.record(kind, pid_);
            AppState* a = s_.liveApp(pid_);
            if (!a) return false;
            if (force || a->spec.quitsWhenAsked) work = s_.terminate(pid_);
        }
        SimDesktop::State::run(work);
        return true;
    }

    SimDesktop::State& s_;
    pid_t pid_;
    mutable ImageRef icon_;
};

class SimWorkspace final : public WorkspacePort {
  public:
    explicit SimWorkspace(SimDesktop::State& s) : s_(s) {}

    std::vector<RunningApplicationRef> runningApplications() override {
        std::lock_guard lock(s_.mutex);
        std::vector<RunningApplicationRef> out;
        for (pid_t p : s_.launchOrder)
            if (s_.liveApp(p)) out.push_back(object(p));
        return out;
    }

    RunningApplicationRef runningApplicationWithProcessIdentifier(pid_t pid) override {
        std::lock_guard lock(s_.mutex);
        return s_.liveApp(pid) ? object(pid) : nullptr;
    }

    std::vector<pid_t> processesInFrontToBackOrder() override {
        std::lock_guard lock(s_.mutex);
        s_.record("frontToBack");
        return s_.appOrder;
    }

    void addObserver(WorkspaceObserver* observer) override {
        std::lock_guard lock(s_.mutex);
        s_.workspaceObservers.push_back(observer);
    }
    void removeObserver(WorkspaceObserver* observer) override {
        std::lock_guard lock(s_.mutex);
        auto& v = s_.workspaceObservers;
        v.erase(std::remove(v.begin(), v.end(), observer), v.end());
    }

    bool launchApplication(const std::string& path, uint32_t options) override {
        std::lock_guard lock(s_.mutex);
        s_.record("launch", 0, 0, path + " " + std::to_string(options));
        return !path.empty();
    }
    bool openFile(const std::string& path, const std::string& app) override {
        std::lock_guard lock(s_.mutex);
        s_.record("openFile", 0, 0, path + "\n" + app);
        return true;
    }
    bool revealFile(const std::string& path) override {
        std::lock_guard lock(s_.mutex);
        s_.record("reveal", 0, 0, path);
        return !path.empty();
    }
    std::optional<ApplicationBundleInfo> bundleInfoForIdentifier(const std::string& id) override {
        std::lock_guard lock(s_.mutex);
        auto it = s_.bundles.find(id);
        if (it == s_.bundles.end()) return std::nullopt;
        return it->second;
    }

  private:
    RunningApplicationRef object(pid_t pid) {
        auto& slot = s_.appObjects[pid];
        if (!slot) slot = std::make_shared<SimRunningApplication>(s_, pid);
        return slot;
    }

    SimDesktop::State& s_;
};

} // namespace

std::unique_ptr<WorkspacePort> makeWorkspace(SimDesktop::State& s) {
    return std::make_unique<SimWorkspace>(s);
}

} // namespace velora::sim
