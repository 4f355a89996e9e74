#pragma once
// A test with a fresh simulated desktop installed as the platform.

#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"

namespace velora::test {

class SimTest : public ::testing::Test {
  protected:
    SimTest() { sim.install(); }
    ~SimTest() override { sim.shutdown(); }

    // An application with one standard window; returns {pid, window}.
    std::pair<pid_t, uint32_t> appWithWindow(const std::string& bundle, const std::string& title,
                                             sim::WindowSpec window = {}) {
        sim::ApplicationSpec app;
        app.bundleIdentifier = bundle;
        app.name = bundle;
        app.executablePath = "/usr/bin/" + bundle;
        pid_t pid = sim.addApplication(app);
        window.title = title;
        return {pid, sim.addWindow(pid, window)};
    }

    sim::SimDesktop sim;
};

} // namespace velora::test
