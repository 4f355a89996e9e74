// The switching engine's hot paths on the simulated desktop, for 20, 200 and 1000 listed
// windows, without window pictures (every capture fails at once): one whole switch of all
// windows (press, fill the panel, release), quick and through the shown panel, and
// populateItems alone.
#include <benchmark/benchmark.h>

#include <thread>

#include "engine/vl_handler.h"
#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "platform/sim/sim_desktop.h"
#include "settings/user_defaults.h"
#include "support/panel_fakes.h"

namespace velora {
namespace {

constexpr int kWindowsPerApp = 5;

class NoHotKeys final : public VLHotKeyLink {
  public:
    void setDelegate(SGHotKeyCenterDelegate*) override {}
    void registerHotKey(const SGHotKeyRef&) override {}
    void unregisterHotKey(const SGHotKeyRef&) override {}
    void setCommandKeys(std::vector<int64_t>) override {}
};

// A desktop of windows / kWindowsPerApp applications, the engine on top, every record matched.
class Desktop {
  public:
    explicit Desktop(int windows) {
        VLSettings::shared().reset();
        UserDefaults::resetStandard(std::filesystem::temp_directory_path() / "velora-engine-bench.plist");
        sim.install();
        for (int a = 0; a * kWindowsPerApp < windows; ++a) {
            sim::ApplicationSpec app;
            app.bundleIdentifier = app.name = "org.example.app" + std::to_string(a);
            pid_t pid = sim.addApplication(app);
            for (int w = 0; w < kWindowsPerApp; ++w) {
                sim::WindowSpec options;
                options.title = "Window " + std::to_string(a) + "." + std::to_string(w);
                options.position = Point{double(10 * w), double(10 * a)};
                options.captureFails = true;
                sim.focusWindow(sim.addWindow(pid, options));
            }
        }
        VLHandler::setCoverFlowLoader([this] { return VLPanelOutlets{&window, &view}; });
        VLHandler::setHotKeyLink(&hotKeys);
        engine = &VLHandler::sharedHandler();
        VLSettings::shared().displayDelay = 0.2f;
        sim.waitForSleepers(1); // the window list's first pass is done
        VLWindowManager::sharedManager().windowsForPID(0);
        candidates = VLHandler::candidatesForMode(IKBController::kModeAllWindows);
        engine->coverFlow().populateItems(candidates); // match every record once
        settle();
    }
    ~Desktop() {
        sim.shutdown();
        VLHandler::resetSharedHandlerForTesting();
        VLWindowManager::resetSharedManagerForTesting();
    }
    // Runs the main thread's work until the polling thread has ended (without the sim's
    // millisecond waits, which would swamp the times measured).
    void untilPollerEnds() {
        while (engine->pollingThreadsRunning() != 0) {
            sim.pump();
            std::this_thread::yield();
        }
        sim.pump();
    }
    // Lets the polling thread and the (failing) grabs finish and delivers their hand-offs.
    void settle() {
        untilPollerEnds();
        engine->queue().waitUntilAllOperationsAreFinished();
        while (sim.pump() > 0) {
        }
    }

    sim::SimDesktop sim;
    test::FakeImageFlowView view;
    test::FakePanelWindow window;
    NoHotKeys hotKeys;
    VLHandler* engine = nullptr;
    VLCandidateList candidates;
};

// Released before the delay: the polling thread switches at once, the panel is cleared.
void QuickSwitch(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    for (auto _ : state) {
        desktop.sim.setModifierFlags(0); // a release before the first poll
        desktop.engine->KeyCycleWindowForward();
        desktop.untilPollerEnds();
        desktop.engine->endHandling(); // the release's end finds nothing to do
        state.PauseTiming();
        desktop.settle();
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(desktop.candidates.size()) + " windows");
}
BENCHMARK(QuickSwitch)->Arg(20)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

// No delay: the panel comes up at once, and the release activates its selection.
void ShownSwitch(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    VLSettings::shared().displayDelay = 0;
    for (auto _ : state) {
        desktop.sim.setModifierFlags(kEventFlagOption);
        desktop.engine->KeyCycleWindowForward();
        desktop.untilPollerEnds();
        desktop.sim.setModifierFlags(0);
        desktop.engine->endHandling();
        state.PauseTiming();
        desktop.settle();
        state.ResumeTiming();
    }
}
BENCHMARK(ShownSwitch)->Arg(20)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Filling the hidden panel from a listed candidate list (the window rules and one item each).
void PopulateItems(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    IKBController& panel = desktop.engine->coverFlow();
    for (auto _ : state) {
        panel.populateItems(desktop.candidates);
        benchmark::DoNotOptimize(panel.browserData().size());
        state.PauseTiming();
        desktop.settle();
        state.ResumeTiming();
    }
    panel.clearItems();
}
BENCHMARK(PopulateItems)->Arg(20)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velora

BENCHMARK_MAIN();
