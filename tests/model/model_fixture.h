#pragma once
// Window-model tests on the simulated desktop: settings start and end fresh, and the shared
// window manager (if a test started it) is stopped before the desktop goes.

#include "model/vl_element.h"
#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "support/sim_fixture.h"

namespace velora::test {

class ModelTest : public SimTest {
  protected:
    ModelTest() { VLSettings::shared().reset(); }
    ~ModelTest() override {
        sim.shutdown();
        VLWindowManager::resetSharedManagerForTesting();
        VLSettings::shared().reset();
    }

    static AXElement windowElement(pid_t pid, uint32_t window) {
        return AXElement{AXElement::Kind::Window, pid, window};
    }
    static VLElementRef record(pid_t pid, uint32_t window) {
        return VLElement::elementWithElementRef(windowElement(pid, window));
    }
    static WindowInfoList windowList() {
        return windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
    }
    static void setLevel(const std::string& key, int32_t level) {
        VLSettings::shared().updateFilters([&](FilterDictionary& f) { f[key] = level; });
    }
    // The shared manager, once its scanning thread has completed its first pass and sleeps.
    VLWindowManager& start() {
        VLWindowManager& m = VLWindowManager::sharedManager();
        EXPECT_TRUE(sim.pumpUntil([&] { return m.completedPasses() >= 1 && sim.sleepers() >= 1; }));
        return m;
    }
    static std::vector<uint64_t> ids(const std::vector<VLElementRef>& records) {
        std::vector<uint64_t> out;
        for (const VLElementRef& r : records)
            out.push_back(r->element().id);
        return out;
    }
    static std::vector<uint64_t> listed(const VLWindowManager& m) { return ids(m.windowsArray()); }
    // A record matched against the current window list.
    VLElementRef matched(pid_t pid, uint32_t window) {
        VLElementRef r = record(pid, window);
        EXPECT_TRUE(r->findPIDandWID(windowList()));
        return r;
    }
};

} // namespace velora::test
