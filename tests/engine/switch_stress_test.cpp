// Random switches over the simulated desktop: hot key presses and repeats on the main thread,
// releases reported from new threads, command keys from a tap thread and applications that
// die, interleaved at random with the virtual clock. Every hold of the modifiers must end in
// exactly one activation, cancel or command, with no thread left waiting and the panel
// empty and hidden.
//
// Reproducible by seed: VELORA_STRESS_SEED and VELORA_STRESS_HOLDS override the defaults.
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

#include "engine_fixture.h"
#include "model/filter_levels.h"

namespace velora {
namespace {

using test::EngineTest;

uint64_t fromEnvironment(const char* name, uint64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

class SwitchStressTest : public EngineTest {
  protected:
    ~SwitchStressTest() override {
        sim.shutdown();
        joinHelpers();
    }

    sim::WindowSpec windowOptions(const std::string& title, bool mortal) {
        sim::WindowSpec w;
        w.title = title;
        w.size = {64, 48}; // small pictures keep the grabs cheap
        w.closeEnabled = mortal;
        if (rng() % 3 == 0) w.document = "file:///home/user/" + title + ".txt";
        return w;
    }
    // X and Y never die and always have windows that pass the rules, so every switch has
    // something to activate; Z is blocked, so it is never a candidate and stays visible for
    // the desktop to fall back on. Mortals come and go.
    void buildDesktop() {
        x = sim.addApplication(application("X", false));
        xWindows = {sim.addWindow(x, windowOptions("X1", false)),
                    sim.addWindow(x, windowOptions("X2", false))};
        y = sim.addApplication(application("Y", false));
        sim.addWindow(y, windowOptions("Y1", false));
        z = sim.addApplication(application("Z", false));
        sim.addWindow(z, windowOptions("Z1", false));
        for (int i = 0; i < 3; ++i)
            launchMortal();
    }
    void launchMortal() {
        const std::string name = "M" + std::to_string(nextMortal++);
        pid_t pid = sim.launchApplication(application(name, true));
        for (unsigned w = 0, n = 1 + rng() % 2; w < n; ++w)
            sim.addWindow(pid, windowOptions(name + "w" + std::to_string(w), true));
        mortals.push_back(pid);
    }
    void reviveDesktop() {
        std::erase_if(mortals, [&](pid_t p) { return !sim.isApplicationRunning(p); });
        while (mortals.size() < 3)
            launchMortal();
        for (pid_t p : {x, y, z})
            sim.setApplicationHidden(p, false);
        sim.focusWindow(xWindows[rng() % 2]);
    }

    // --- steps

    void log(const std::string& step) { script << step << ' '; }
    void pressAction(Action action, const char* name) {
        log(name);
        VLHandler* handler = engine; // called through a local: UBSan misreads engine->*action
        (handler->*action)();
    }
    // A key-down from a new thread that first waits for the previous one: one at a time, as
    // the hot key center's tap offers them, and without the caller waiting for the answer.
    void offerKey(int64_t code, bool shifted) {
        log("key" + std::to_string(code));
        keysOffered.fetch_add(1);
        std::lock_guard lock(helpersMutex);
        tap = std::thread([this, event = keyEvent(code, kOption | (shifted ? kEventFlagShift : 0)),
                           previous = std::move(tap)]() mutable {
            if (previous.joinable()) previous.join();
            engine->shouldHandleKey(event);
            keysHandled.fetch_add(1);
        });
    }
    void killMortal() {
        if (mortals.empty()) return;
        pid_t victim = mortals[rng() % mortals.size()];
        log("kill" + std::to_string(victim));
        if (rng() % 2) {
            sim.terminateApplication(victim);
        } else {
            std::lock_guard lock(helpersMutex);
            helpers.emplace_back([this, victim] { sim.terminateApplication(victim); });
        }
    }
    void advancePolls(int polls, bool fromSleep) {
        log("adv" + std::to_string(polls));
        for (int i = 0; i < polls; ++i) {
            // From a sleeping polling thread, so that the step wakes it.
            if (fromSleep && !waitedPoll())
                ADD_FAILURE() << "a polling thread neither sleeps nor ends; steps: " << script.str();
            if (!fromSleep) sim.advance(VLHandler::kPollInterval);
            sim.pump();
        }
    }
    void joinHelpers() {
        std::vector<std::thread> done;
        {
            std::lock_guard lock(helpersMutex);
            done.swap(helpers);
            done.push_back(std::move(tap));
        }
        for (auto& t : done)
            if (t.joinable()) t.join();
    }

    // --- checks

    // Lets everything run out; false when some thread stays waiting.
    bool quiesce() {
        // Poll by poll, each time until the polling thread sleeps again (or has ended).
        bool threadsDone = false;
        for (int round = 0; round < 2000 && !threadsDone; ++round) {
            threadsDone = sim.pumpUntil(
                [&] {
                    return engine->pollingThreadsRunning() == 0 && keysHandled.load() == keysOffered.load() &&
                           releasesFinished.load() == releasesStarted.load();
                },
                0.002);
            if (!threadsDone && engine->pollingThreadsRunning() > 0 && !waitedPoll()) return false;
        }
        joinReleases();
        joinHelpers();
        engine->queue().waitUntilAllOperationsAreFinished();
        while (sim.pump() > 0) {
        }
        // Only the window list's scanning thread may sleep on the clock now.
        const bool oneSleeper = sim.pumpUntil([&] { return sim.sleepers() == 1; }, 5.0);
        return threadsDone && oneSleeper && engine->pollingThreadsRunning() == 0;
    }

    // What one hold ended in: activations by the switch (options 3), plain activations
    // (options 2: two of one application per raise, one per cancel), reveals, preferences.
    struct Outcomes {
        int applications = 0, plain = 0, reveals = 0, preferences = 0;
        std::set<pid_t> plainPids;
        bool exactlyOne() const {
            const int others = applications + reveals + preferences;
            if (others == 1) return plain == 0;
            return others == 0 && (plain == 1 || (plain == 2 && plainPids.size() == 1));
        }
    };
    Outcomes outcomes() const {
        Outcomes o;
        for (const auto& call : sim.calls()) {
            if (call.kind == "activate" && call.detail == "3") ++o.applications;
            if (call.kind == "activate" && call.detail == "2") ++o.plain, o.plainPids.insert(call.pid);
            if (call.kind == "reveal") ++o.reveals;
        }
        o.preferences = delegate.preferences.load();
        return o;
    }

    std::mt19937 rng;
    std::ostringstream script;
    std::thread tap;
    pid_t x = 0, y = 0, z = 0;
    std::vector<uint32_t> xWindows;
    std::vector<pid_t> mortals;
    int nextMortal = 0;
    std::atomic<int> keysOffered{0}, keysHandled{0};
    std::mutex helpersMutex;
    std::vector<std::thread> helpers;
};

TEST_F(SwitchStressTest, EveryHoldEndsInExactlyOneActivationCancelOrCommand) {
    const uint64_t seed = fromEnvironment("VELORA_STRESS_SEED", 20240611);
    const uint64_t holds = fromEnvironment("VELORA_STRESS_HOLDS", 800);
    rng.seed(uint32_t(seed));
    buildDesktop();
    start();
    VLSettings::shared().updateFilters([](FilterDictionary& f) { f["Z"] = kFilterLevelBlockAll; });

    const std::pair<Action, const char*> actions[] = {
        {&VLHandler::KeyCycleAppForward, "appF"},      {&VLHandler::KeyCycleAppBackward, "appB"},
        {&VLHandler::KeyCycleWindowForward, "winF"},   {&VLHandler::KeyCycleWindowBackward, "winB"},
        {&VLHandler::KeyCycleAppWindowForward, "awF"}, {&VLHandler::KeyCycleAppWindowBackward, "awB"},
    };
    const int64_t keys[] = {vk::Comma, vk::Q, vk::M,      vk::H,    vk::R,
                            vk::W,     vk::O, vk::Escape, vk::Key1, vk::LeftArrow};
    const float delays[] = {0.2f, 0.2f, 0.1f, 0.0f};

    for (uint64_t hold = 0; hold < holds; ++hold) {
        script.str("");
        reviveDesktop();
        VLSettings::shared().displayDelay = delays[rng() % 4];
        VLSettings::shared().fullScreenApps = int32_t(rng() % 2);
        VLSettings::shared().fullScreenWindows = int32_t(rng() % 2);
        const uint64_t held = kOption | (rng() % 8 == 0 ? kEventFlagAlphaShift : 0);
        sim.clearCalls();
        delegate.preferences = 0;

        sim.setModifierFlags(held);
        // Mode 3 only opens a hold, while X, with its two windows, is surely active.
        const auto& [first, firstName] = actions[rng() % 6];
        pressAction(first, firstName);
        bool ended = false;
        for (unsigned step = 0, steps = rng() % 8; step < steps; ++step) {
            switch (rng() % 10) {
            case 0:
            case 1:
                if (!ended) {
                    const auto& [action, name] = actions[rng() % 4];
                    pressAction(action, name);
                }
                break;
            case 2:
                if (!ended) {
                    log("back");
                    engine->KeyUniversalBackward();
                }
                break;
            case 3:
            case 4:
                if (!ended) {
                    const int64_t code = keys[rng() % std::size(keys)];
                    offerKey(code, rng() % 4 == 0);
                    // These may end the switch; nothing is pressed after them.
                    ended = code == vk::Comma || code == vk::R || code == vk::O || code == vk::Escape;
                }
                break;
            case 5:
                killMortal();
                break;
            case 6:
            case 7:
                advancePolls(1 + int(rng() % 5), rng() % 2 == 0);
                break;
            case 8:
                log("pump");
                sim.pump();
                break;
            default:
                log("sync");
                if (!pollerWaits(sim.modifierFlagReads()))
                    ADD_FAILURE() << "a polling thread neither sleeps nor ends; steps: " << script.str();
                break;
            }
        }
        log("release");
        release(held & kEventFlagAlphaShift);
        if (rng() % 2) advancePolls(1 + int(rng() % 3), false);

        const std::string where = "seed " + std::to_string(seed) + " hold " + std::to_string(hold) + ": ";
        ASSERT_TRUE(quiesce()) << where << "a thread is left waiting; steps: " << script.str();
        const Outcomes o = outcomes();
        ASSERT_TRUE(o.exactlyOne()) << where << o.applications << " switched, " << o.plain << " plain, "
                                    << o.reveals << " reveals, " << o.preferences
                                    << " preferences; steps: " << script.str();
        ASSERT_TRUE(!panel().isShown() && panel().browserData().empty() && !engine->shouldHandleKeys() &&
                    !link.backwardRegistered && !link.keysTaken)
            << where << "the switch left its panel or keys behind; steps: " << script.str();
    }
}

} // namespace
} // namespace velora
