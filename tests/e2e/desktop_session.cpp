#include "desktop_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "settings/user_defaults.h"
#include "support/file_text.h"

namespace velora::e2e {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

double whiteShare(const QImage& image, const QRect& area) {
    int white = 0, all = 0;
    for (int y = area.top(); y <= area.bottom(); y += 2)
        for (int x = area.left(); x <= area.right(); x += 2) {
            const QRgb p = image.pixel(x, y);
            ++all;
            if (qRed(p) > 235 && qGreen(p) > 235 && qBlue(p) > 235) ++white;
        }
    return all ? double(white) / all : 0.0;
}

void DesktopSession::SetUp() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display";
    x_ = std::make_unique<test::XDisplay>();
    if (!x_->ok()) GTEST_SKIP() << "the X display " << display << " cannot be reached";
    dir_ = std::make_unique<test::TempDir>();
    home_ = dir_->path();
    std::filesystem::create_directories(home_ / ".config");
    std::filesystem::create_directories(home_ / "run");
    ::chmod((home_ / "run").c_str(), 0700);
    // A window left active by an earlier test must not be taken for the result of this one.
    ASSERT_EQ(x_->shownPanel(), 0u) << "a switch panel is already on this display";
}

void DesktopSession::TearDown() {
    // Modifiers still held by a failed test would reach the next one.
    for (auto it = heldKeys_.rbegin(); it != heldKeys_.rend(); ++it) runToEnd({"xdotool", "keyup", *it});
    // A crash (or a sanitizer's report, which ends the program) shows up here.
    if (velora_ && !veloraEndExpected_ && !velora_->running())
        ADD_FAILURE() << "velora ended during the test, status " << velora_->status();
    const bool failed = HasFailure();
    if (velora_) velora_->stop();
    clients_.clear();
    if (failed && dir_) std::cout << "---- velora's output\n" << test::readFile(home_ / "velora.log") << "----\n";
    x_.reset();
    dir_.reset();
}

std::map<std::string, std::string> DesktopSession::environment() const {
    std::map<std::string, std::string> out{{"HOME", home_.string()},
                                           {"XDG_CONFIG_HOME", (home_ / ".config").string()},
                                           {"XDG_RUNTIME_DIR", (home_ / "run").string()},
                                           {"QT_QPA_PLATFORM", "xcb"}};
    for (const auto& [name, value] : extraEnvironment_)
        out[name] = value;
    return out;
}

std::vector<xcb_window_t> DesktopSession::veloraWindows() {
    std::vector<xcb_window_t> out;
    if (!velora_) return out;
    for (xcb_window_t w : x_->clientList())
        if (x_->pid(w) == velora_->pid()) out.push_back(w);
    return out;
}

bool DesktopSession::startVelora() {
    velora_ = ChildProcess::start({VELORA_PROGRAM}, environment(), home_ / "velora.log");
    if (!velora_) {
        ADD_FAILURE() << "cannot start " << VELORA_PROGRAM;
        return false;
    }
    // A first start opens the preferences with the welcome sheet on top.
    if (!waitFor([&] { return veloraWindows().size() >= 2 || !velora_->running(); }) || !velora_->running()) {
        ADD_FAILURE() << "velora did not open its preferences and welcome sheet on the first start";
        return false;
    }
    const bool closed = waitFor([&] {
        const auto windows = veloraWindows();
        // The sheet first (the newest window), then the preferences it blocked.
        if (!windows.empty()) x_->closeWindow(windows.back());
        std::this_thread::sleep_for(300ms);
        return veloraWindows().empty();
    });
    if (!closed) ADD_FAILURE() << "velora's first-start windows do not close";
    return closed && velora_->running();
}

bool DesktopSession::startVeloraConfigured() {
    std::filesystem::create_directories(home_ / ".config");
    std::filesystem::create_directories(home_ / "run");
    ::chmod((home_ / "run").c_str(), 0700);
    {
        UserDefaults settings(settingsFile());
        settings.setBool("firstRun2", true);
        settings.setInteger("startAtLogin", 0);
        const struct {
            const char* identifier;
            int64_t keyCode, modifiers;
        } combos[] = {{"KeyCycleAppForward", 48, 2048},       {"KeyCycleWindowForward", 48, 256},
                      {"KeyCycleAppWindowForward", 50, 256},  {"KeyCycleAppBackward", 48, 2560},
                      {"KeyCycleWindowBackward", 48, 768},    {"KeyCycleAppWindowBackward", 50, 768}};
        for (const auto& c : combos) {
            PlistValue::Dictionary d;
            d["keyCode"] = PlistValue(c.keyCode);
            d["modifiers"] = PlistValue(c.modifiers);
            settings.setObject(c.identifier, PlistValue(std::move(d)));
        }
        settings.synchronize();
    }
    velora_ = ChildProcess::start({VELORA_PROGRAM}, environment(), home_ / "velora.log");
    if (!velora_ || !velora_->running()) {
        ADD_FAILURE() << "cannot start " << VELORA_PROGRAM;
        return false;
    }
    return true;
}

bool DesktopSession::restartVelora(const std::map<std::string, PlistValue>& settings) {
    if (velora_) velora_->stop();
    std::optional<PlistValue> stored = PlistValue::fromXml(test::readFile(settingsFile()));
    PlistValue::Dictionary merged;
    if (stored && stored->asDictionary()) merged = *stored->asDictionary();
    for (const auto& [key, value] : settings) merged[key] = value;
    test::writeFile(settingsFile(), PlistValue(merged).toXml());
    velora_ = ChildProcess::start({VELORA_PROGRAM}, environment(), home_ / "velora.log");
    const uint16_t alt = x_->modifierMaskOf(0xffe9 /* Alt_L */);
    if (!velora_ || !waitFor([&] { return !velora_->running() || !x_->canGrab(0xff09 /* Tab */, alt); }) ||
        !velora_->running()) {
        ADD_FAILURE() << "velora did not come back holding Alt-Tab";
        return false;
    }
    return true;
}

std::string DesktopSession::veloraLog() const { return test::readFile(home_ / "velora.log"); }

xcb_window_t DesktopSession::startClient(const std::vector<std::string>& argv, const std::string& title) {
    auto child = ChildProcess::start(argv, environment());
    if (!child) return 0;
    xcb_window_t w = 0;
    waitFor([&] { return (w = x_->clientTitled(title)) != 0 || !child->running(); });
    if (w) clients_.emplace_back(w, std::move(child));
    else ADD_FAILURE() << "no window titled " << title << " from " << argv.front();
    return w;
}

xcb_window_t DesktopSession::startXterm(const std::string& title, const std::string& script) {
    std::vector<std::string> argv{"xterm", "-T", title, "-geometry", "72x18"};
    if (!script.empty()) argv.insert(argv.end(), {"-e", "sh", "-c", script});
    return startClient(argv, title);
}

std::vector<xcb_window_t> DesktopSession::startWindowClient(const std::vector<std::string>& titles) {
    std::vector<std::string> argv{VELORA_WINDOW_CLIENT};
    argv.insert(argv.end(), titles.begin(), titles.end());
    // The windows are mapped together: once the first is managed, the others follow.
    if (!startClient(argv, titles.front())) return {};
    std::vector<xcb_window_t> out(titles.size(), 0);
    const auto allShown = [&] { return std::find(out.begin(), out.end(), 0u) == out.end(); };
    waitFor([&] {
        for (std::size_t i = 0; i < titles.size(); ++i) out[i] = x_->clientTitled(titles[i]);
        return allShown();
    });
    if (allShown()) return out;
    ADD_FAILURE() << "the window client did not show all its windows";
    return {};
}

ChildProcess& DesktopSession::client(xcb_window_t w) {
    for (auto& [window, child] : clients_)
        if (window == w) return *child;
    throw std::logic_error("no client with that window");
}

void DesktopSession::activate(xcb_window_t w) {
    const bool active = waitFor(
        [&] {
            if (x_->activeWindow() == w) return true;
            x_->activateWindow(w);  // timed, unlike xdotool's: marco and mutter complain of 0
            return waitFor([&] { return x_->activeWindow() == w; }, 2s);
        },
        kLongWait);
    EXPECT_TRUE(active) << "the manager does not activate " << titleOf(w);
    // The switcher notices the focus within its 0.2 s poll; on a loaded machine, later.
    std::this_thread::sleep_for(1s);
}

void DesktopSession::activateInOrder(const std::vector<xcb_window_t>& windows) {
    for (xcb_window_t w : windows) activate(w);
}

void DesktopSession::xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // Remembered so that a failing test does not leave a modifier down.
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "keydown") heldKeys_.push_back(arguments[i + 1]);
        if (arguments[i] == "keyup") std::erase(heldKeys_, arguments[i + 1]);
    }
    EXPECT_TRUE(runToEnd(argv)) << "xdotool failed";
}

xcb_window_t DesktopSession::waitForActiveChange(xcb_window_t old) {
    xcb_window_t now = 0;
    waitFor([&] { return (now = x_->activeWindow()) != 0 && now != old; });
    return now != old ? now : 0;
}

} // namespace velora::e2e
