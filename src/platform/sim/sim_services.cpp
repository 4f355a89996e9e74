// Login items, scripting, HTTP and the beep of the simulated desktop.
#include <algorithm>

#include "platform/sim/sim_state.h"

namespace velora::sim {

namespace {

class SimLoginItems final : public LoginItemsPort {
  public:
    explicit SimLoginItems(SimDesktop::State& s) : s_(s) {}
    std::vector<LoginItem> snapshot() override {
        std::lock_guard lock(s_.mutex);
        return s_.loginItems;
    }
    bool insert(const std::string& path) override {
        std::lock_guard lock(s_.mutex);
        s_.record("loginItemInsert", 0, 0, path);
        s_.loginItems.push_back(LoginItem{"item" + std::to_string(s_.nextLoginItem++), path});
        return true;
    }
    bool remove(const std::string& id) override {
        std::lock_guard lock(s_.mutex);
        s_.record("loginItemRemove", 0, 0, id);
        auto& v = s_.loginItems;
        auto it = std::remove_if(v.begin(), v.end(), [&](const LoginItem& i) { return i.id == id; });
        bool found = it != v.end();
        v.erase(it, v.end());
        return found;
    }

  private:
    SimDesktop::State& s_;
};

class SimScripting final : public ScriptingPort {
  public:
    explicit SimScripting(SimDesktop::State& s) : s_(s) {}
    bool enableAssistiveAccess() override {
        std::lock_guard lock(s_.mutex);
        s_.record("script");
        return false; // as on a desktop with nothing to enable
    }
    bool openAccessibilitySettings() override {
        std::lock_guard lock(s_.mutex);
        s_.record("openSettings");
        return true;
    }

  private:
    SimDesktop::State& s_;
};

class SimHttp final : public HttpPort {
  public:
    explicit SimHttp(SimDesktop::State& s) : s_(s) {}
    // The simulated desktop has no network: every fetch is recorded and fails.
    std::optional<HttpResponse> get(const std::string& url, long timeoutMs,
                                    std::size_t /*maxBytes*/) override {
        std::lock_guard lock(s_.mutex);
        s_.record("httpGet", 0, 0, url + " " + std::to_string(timeoutMs));
        return std::nullopt;
    }

  private:
    SimDesktop::State& s_;
};

class SimSound final : public SoundPort {
  public:
    explicit SimSound(SimDesktop::State& s) : s_(s) {}
    void beep() override {
        std::lock_guard lock(s_.mutex);
        s_.record("beep");
    }

  private:
    SimDesktop::State& s_;
};

} // namespace

std::unique_ptr<LoginItemsPort> makeLoginItems(SimDesktop::State& s) {
    return std::make_unique<SimLoginItems>(s);
}
std::unique_ptr<ScriptingPort> makeScripting(SimDesktop::State& s) {
    return std::make_unique<SimScripting>(s);
}
std::unique_ptr<HttpPort> makeHttp(SimDesktop::State& s) {
    return std::make_unique<SimHttp>(s);
}
std::unique_ptr<SoundPort> makeSound(SimDesktop::State& s) {
    return std::make_unique<SimSound>(s);
}

} // namespace velora::sim
