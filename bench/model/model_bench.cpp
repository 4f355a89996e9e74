// Window-model hot paths on the simulated desktop: the visibility rules over a listed pass,
// windowsForPID, one focused-window poll and one purge with its rescan, for 50, 200 and
// 1000 listed windows.
#include <benchmark/benchmark.h>

#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "model/window_list_pass.h"
#include "platform/sim/sim_desktop.h"

namespace velora {
namespace {

constexpr int kWindowsPerApp = 10;

// A desktop of windows / kWindowsPerApp applications with a running window manager.
class Desktop {
  public:
    explicit Desktop(int windows) {
        VLSettings::shared().reset();
        sim.install();
        for (int a = 0; a * kWindowsPerApp < windows; ++a) {
            sim::ApplicationSpec app;
            app.bundleIdentifier = "org.example.app" + std::to_string(a);
            pid_t pid = sim.addApplication(app);
            pids.push_back(pid);
            for (int w = 0; w < kWindowsPerApp; ++w) {
                sim::WindowSpec spec;
                spec.title = "Window " + std::to_string(a) + "." + std::to_string(w);
                spec.position = Point{double(10 * w), double(10 * a)};
                windowNumbers.push_back(sim.addWindow(pid, spec));
            }
        }
        manager = &VLWindowManager::sharedManager();
        sim.waitForSleepers(1);               // the scanning thread's first pass is done
        manager->windowsForPID(pids.front()); // match every record once
    }
    ~Desktop() {
        sim.shutdown();
        VLWindowManager::resetSharedManagerForTesting();
    }

    sim::SimDesktop sim;
    std::vector<pid_t> pids;
    std::vector<uint32_t> windowNumbers;
    VLWindowManager* manager = nullptr;
};

void ShouldShowWindowPass(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    std::vector<VLElementRef> records = desktop.manager->windowsArray();
    for (auto _ : state) {
        WindowListPass pass;
        int shown = 0;
        for (const VLElementRef& r : records)
            shown += r->shouldShowWindow(pass.forShouldShowWindow(*r));
        benchmark::DoNotOptimize(shown);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(records.size()));
}

void MatchingPass(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    std::vector<VLElementRef> listed = desktop.manager->windowsArray();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<VLElementRef> fresh;
        for (const VLElementRef& r : listed)
            fresh.push_back(VLElement::elementWithElementRef(r->element()));
        state.ResumeTiming();
        WindowListPass pass;
        int shown = 0;
        for (const VLElementRef& r : fresh)
            shown += r->shouldShowWindow(pass.forShouldShowWindow(*r));
        benchmark::DoNotOptimize(shown);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(listed.size()));
}

void WindowsForPID(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    pid_t last = desktop.pids.back();
    for (auto _ : state)
        benchmark::DoNotOptimize(desktop.manager->windowsForPID(last));
}

void FocusedWindowPoll(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    // Two windows deep in the list take turns at the focus, so every poll moves one up.
    uint32_t a = desktop.windowNumbers.back(), b = desktop.windowNumbers[desktop.windowNumbers.size() / 2];
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        desktop.sim.focusWindow((flip = !flip) ? a : b);
        state.ResumeTiming();
        desktop.manager->pollFocusedWindow();
    }
}

void PurgeAndRescan(benchmark::State& state) {
    Desktop desktop(int(state.range(0)));
    for (auto _ : state)
        desktop.manager->purgeAndRescan();
}

BENCHMARK(ShouldShowWindowPass)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(MatchingPass)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(WindowsForPID)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(FocusedWindowPoll)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PurgeAndRescan)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velora

BENCHMARK_MAIN();
