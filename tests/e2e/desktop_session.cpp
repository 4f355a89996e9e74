#include "desktop_session.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "settings/plist_value.h"
#include "support/file_text.h"

namespace velora::e2e {
namespace {

// The share of the area in near-white pixels.
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

} // namespace

void DesktopSession::SetUp() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display";
    x_ = std::make_unique<test::XDisplay>();
    if (!x_->ok()) GTEST_SKIP() << "the X display " << display << " cannot be reached";
    dir_ = std::make_unique<test::TempDir>();
    home_ = dir_->path();
    for (const char* folder : {".config", ".local/share", "share", "run"})
        std::filesystem::create_directories(home_ / folder);
    ::chmod((home_ / "run").c_str(), 0700);
    // A window left active by an earlier test must not be taken for the result of this one.
    ASSERT_EQ(x_->shownPanel(), 0u) << "a switch panel is already on this display";
}

void DesktopSession::TearDown() {
    // Modifiers still held by a failed test would reach the next one.
    for (auto it = heldKeys_.rbegin(); it != heldKeys_.rend(); ++it)
        runToEnd({"xdotool", "keyup", *it});
    // A crash (or a sanitizer's report, which ends the program) shows up here.
    if (velora_ && !veloraEndExpected_ && !velora_->running())
        ADD_FAILURE() << "velora ended during the test, status " << velora_->status();
    const bool failed = HasFailure();
    if (velora_) velora_->stop();
    clients_.clear();
    if (failed && dir_)
        std::cout << "---- velora's output\n"
                  << test::readFile(home_ / "velora.log") << "---- its trace\n"
                  << test::readFile(trace_) << "----\n";
    x_.reset();
    dir_.reset();
}

std::map<std::string, std::string> DesktopSession::environment() const {
    std::map<std::string, std::string> out{{"HOME", home_.string()},
                                           {"XDG_CONFIG_HOME", (home_ / ".config").string()},
                                           {"XDG_RUNTIME_DIR", (home_ / "run").string()},
                                           // No desktop entries: an application is known by
                                           // its window class.
                                           {"XDG_DATA_HOME", (home_ / ".local" / "share").string()},
                                           {"XDG_DATA_DIRS", (home_ / "share").string()},
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

void DesktopSession::writeSettings(PlistValue::Dictionary settings) {
    // Every application blocked (level 3) but the test's own clients (2, the default).
    PlistValue::Dictionary filters{{"All applications", PlistValue(3)}};
    for (const char* application : {"XTerm", "XClock", "XEyes", "VeloraE2EWindows"})
        filters[application] = PlistValue(2);
    settings["filters"] = PlistValue(std::move(filters));
    std::filesystem::create_directories(settingsFile().parent_path());
    test::writeFile(settingsFile(), PlistValue(std::move(settings)).toXml());
}

bool DesktopSession::startVelora(std::optional<PlistValue::Dictionary> settings) {
    if (settings) writeSettings(std::move(*settings));
    launchVelora();
    if (!velora_) {
        ADD_FAILURE() << "cannot start " << VELORA_PROGRAM;
        return false;
    }
    // A first start opens the preferences with the welcome sheet on top.
    if (!waitFor([&] { return veloraWindows().size() >= 2 || !velora_->running(); }) || !velora_->running()) {
        ADD_FAILURE() << "velora did not open its preferences and welcome sheet on the first start";
        return false;
    }
    const bool closed = closeVeloraWindows();
    if (!closed) ADD_FAILURE() << "velora's first-start windows do not close";
    return closed && velora_->running();
}

bool DesktopSession::closeVeloraWindows() {
    return waitFor([&] {
        const auto windows = veloraWindows();
        if (windows.empty()) return true;
        const xcb_window_t newest = windows.back();
        x_->closeWindow(newest);
        waitFor([&] { return std::ranges::count(veloraWindows(), newest) == 0; }, 5s);
        return veloraWindows().empty();
    });
}

bool DesktopSession::startVeloraConfigured() {
    PlistValue::Dictionary settings{{"firstRun2", PlistValue(true)}, {"startAtLogin", PlistValue(0)}};
    const std::tuple<const char*, int, int> combos[] = {
        {"KeyCycleAppForward", 48, 2048},      {"KeyCycleWindowForward", 48, 256},
        {"KeyCycleAppWindowForward", 50, 256}, {"KeyCycleAppBackward", 48, 2560},
        {"KeyCycleWindowBackward", 48, 768},   {"KeyCycleAppWindowBackward", 50, 768}};
    for (const auto& [identifier, keyCode, modifiers] : combos)
        settings[identifier] = PlistValue::Dictionary{{"keyCode", keyCode}, {"modifiers", modifiers}};
    writeSettings(std::move(settings));
    launchVelora();
    if (!velora_ || !velora_->running()) {
        ADD_FAILURE() << "cannot start " << VELORA_PROGRAM;
        return false;
    }
    return true;
}

void DesktopSession::startAndCloseTheAlert(const std::string& told) {
    ASSERT_TRUE(startVeloraConfigured());
    ASSERT_TRUE(waitFor([&] { return veloraLog().find(told) != std::string::npos; }))
        << "velora does not say \"" << told << "\":\n"
        << veloraLog();
    // A managed window of velora's, closed as a user would.
    ASSERT_TRUE(waitFor([&] { return !veloraWindows().empty(); })) << "velora's alert does not show";
    ASSERT_TRUE(closeVeloraWindows()) << "velora's alert does not close";
}

void DesktopSession::launchVelora() {
    trace_ = home_ / "trace";
    auto environment = this->environment();
    environment["VELORA_TRACE_FD"] = "3";
    velora_ = ChildProcess::start({VELORA_PROGRAM}, environment, home_ / "velora.log", trace_);
}

std::string DesktopSession::veloraLog() const {
    return test::readFile(home_ / "velora.log");
}

xcb_window_t DesktopSession::startClient(const std::vector<std::string>& argv, const std::string& title) {
    auto child = ChildProcess::start(argv, environment());
    if (!child) return 0;
    xcb_window_t w = 0;
    waitFor([&] { return (w = x_->clientTitled(title)) != 0 || !child->running(); });
    if (w)
        clients_.emplace_back(w, std::move(child));
    else
        ADD_FAILURE() << "no window titled " << title << " from " << argv.front();
    return w;
}

xcb_window_t DesktopSession::startXterm(const std::string& title, const std::string& script) {
    std::vector<std::string> argv{"xterm", "-T", title, "-geometry", "72x18"};
    if (!script.empty()) argv.insert(argv.end(), {"-e", "sh", "-c", script});
    return startClient(argv, title);
}

std::vector<xcb_window_t> DesktopSession::openWindows(const std::vector<std::string>& titles) {
    // Soft colours, one per window, so the windows tell apart in pictures.
    const uint32_t colours[] = {0xc8ddf0, 0xf0dcc8, 0xd2ecd0, 0xe6d4ee};
    std::vector<xcb_window_t> out;
    for (int i = 0; i < int(titles.size()); ++i)
        out.push_back(x_->createClientWindow({titles[std::size_t(i)],
                                              "velora-e2e-windows",
                                              "VeloraE2EWindows",
                                              colours[i % 4],
                                              QRect(40 * (i + 1), 40 * (i + 1), 360, 240),
                                              {}}));
    ownWindows_.insert(ownWindows_.end(), out.begin(), out.end());
    const bool shown = waitFor([&] {
        return std::ranges::all_of(titles,
                                   [&](const std::string& title) { return x_->clientTitled(title) != 0; });
    });
    EXPECT_TRUE(shown) << "the manager does not list the windows " << titles.front() << "...";
    return shown ? out : std::vector<xcb_window_t>();
}

ChildProcess& DesktopSession::client(xcb_window_t w) {
    for (auto& [window, child] : clients_)
        if (window == w) return *child;
    throw std::logic_error("no client with that window");
}

void DesktopSession::activate(xcb_window_t w) {
    // Until velora's focus poll has found the window: a manager may focus a new window a
    // moment after listing it (fluxbox), and other programs' windows may take the focus, so
    // the window is activated again whenever it has lost the focus meanwhile.
    bool active = false;
    const bool recent = waitFor([&] {
        if (x_->activeWindow() != w) {
            x_->activateWindow(w); // timed, unlike xdotool's: marco and mutter complain of 0
            if (!waitFor([&] { return x_->activeWindow() == w; }, 2s)) return false;
        }
        active = true;
        const auto found = marks("recent:");
        return !found.empty() && found.back() == "recent:" + std::to_string(w);
    });
    EXPECT_TRUE(active) << "the manager does not activate " << titleOf(w);
    EXPECT_TRUE(recent) << "the switcher's focus poll does not find " << titleOf(w);
}

std::vector<std::string> DesktopSession::marks(const std::string& prefix) {
    // Lines "NAME NANOSECONDS"; a line still being written has no newline yet.
    std::vector<std::string> out;
    const std::string trace = test::readFile(trace_);
    for (std::size_t at = 0, end; (end = trace.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string name = trace.substr(at, trace.find(' ', at) - at);
        if (name.starts_with(prefix)) out.push_back(name);
    }
    return out;
}

xcb_window_t DesktopSession::waitForSwitch(std::size_t activationsBefore) {
    xcb_window_t chosen = 0;
    const bool asked = waitFor([&] {
        const auto found = marks("activate:");
        if (found.size() <= activationsBefore) return false;
        chosen = xcb_window_t(std::stoul(found.back().substr(std::string("activate:").size())));
        return true;
    });
    if (!asked) return 0;
    EXPECT_TRUE(waitFor([&] {
        const xcb_window_t now = x_->activeWindow();
        return now == chosen || (now != 0 && !isOwnClient(now));
    })) << "the manager does not activate "
        << titleOf(chosen) << "; the active window is " << titleOf(x_->activeWindow());
    activate(chosen);
    return chosen;
}

bool DesktopSession::waitForMark(const std::string& name) {
    return waitFor([&] { return std::ranges::count(marks(name), name) > 0; });
}

void DesktopSession::activateInOrder(const std::vector<xcb_window_t>& windows) {
    for (xcb_window_t w : windows)
        activate(w);
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

void DesktopSession::cycle(const std::string& combo, bool held) {
    if (!held) return xdotool({"key", combo});
    const std::size_t plus = combo.rfind('+'), before = activations();
    xdotool({"keydown", combo.substr(0, plus), "key", combo.substr(plus + 1)});
    ASSERT_TRUE(waitForPanel()) << "no panel while " << combo << " is held";
    // The panel comes up without taking the focus; the release activates the selection.
    EXPECT_EQ(activations(), before) << "showing the panel activated a window";
    xdotool({"keyup", combo.substr(0, plus)});
}

QRect DesktopSession::holdSwitch(const std::string& modifier) {
    xdotool({"keydown", modifier, "key", "Tab"});
    return waitForPanel() ? x_->rootGeometry(x_->shownPanel()) : QRect();
}

void DesktopSession::releaseSwitch(const std::string& modifier) {
    xdotool({"keyup", modifier});
    EXPECT_TRUE(waitForPanelGone()) << "the panel stays after the release";
}

std::size_t DesktopSession::heldCycleKeys() {
    const uint32_t tab = 0xff09, grave = 0x0060;
    const uint16_t alt = x_->modifierMaskOf(0xffe9 /* Alt_L */),
                   super = x_->modifierMaskOf(0xffeb /* Super_L */), shift = XCB_MOD_MASK_SHIFT;
    const std::pair<uint32_t, uint16_t> combos[] = {{tab, alt},   {tab, uint16_t(alt | shift)},
                                                    {tab, super}, {tab, uint16_t(super | shift)},
                                                    {grave, alt}, {grave, uint16_t(alt | shift)}};
    return std::size_t(
        std::ranges::count_if(combos, [&](const auto& c) { return !x_->canGrab(c.first, c.second); }));
}

void DesktopSession::runCycleSteps(const std::vector<xcb_window_t>& yewXiPine) {
    const std::vector<xcb_window_t>& w = yewXiPine;
    activateInOrder({w[0], w[1], w[2], w[4], w[3]});
    ASSERT_EQ(titleOf(x_->activeWindow()), "Pine 2");
    const struct {
        const char* combo;
        bool held;
        const char* expected;                // recency before the step, most recent first, in the comment
    } steps[] = {{"super+Tab", false, "Xi"}, // P2 P3 P1 Xi Yew
                 {"super+shift+Tab", false, "Yew"},    // Xi P2 P3 P1 Yew
                 {"alt+shift+Tab", false, "Pine 1"},   // Yew Xi P2 P3 P1
                 {"super+shift+Tab", true, "Xi"},      // P1 Yew Xi P2 P3
                 {"alt+Tab", false, "Pine 1"},         // Xi P1 Yew P2 P3
                 {"alt+grave", false, "Pine 2"},       // P1 Xi Yew P2 P3
                 {"super+Tab", true, "Xi"},            // P2 P1 Xi Yew P3
                 {"alt+Tab", true, "Pine 2"},          // Xi P2 P1 Yew P3
                 {"alt+grave", true, "Pine 1"},        // P2 Xi P1 Yew P3
                 {"alt+shift+Tab", true, "Pine 3"},    // P1 P2 Xi Yew P3
                 {"alt+shift+grave", false, "Pine 2"}, // P3 P1 P2 Xi Yew
                 {"alt+shift+grave", true, "Pine 1"}}; // P2 P3 P1 Xi Yew
    for (const auto& s : steps) {
        SCOPED_TRACE(std::string(s.held ? "held " : "quick ") + s.combo);
        const std::size_t activated = activations();
        cycle(s.combo, s.held);
        const xcb_window_t chosen = waitForSwitch(activated);
        ASSERT_EQ(titleOf(chosen), s.expected);
        const auto asked = marks("activate:");
        EXPECT_TRUE(
            std::all_of(asked.begin() + std::ptrdiff_t(activated), asked.end(),
                        [&](const std::string& m) { return m == "activate:" + std::to_string(chosen); }))
            << "the switch activated another window as well";
        EXPECT_TRUE(waitForPanelGone()) << "the panel stays after the release";
    }
}

xcb_window_t DesktopSession::startTypist(const std::string& title) {
    return startXterm(title, "cat > '" + typedFile().string() + "'");
}

std::string DesktopSession::typedLine() {
    xdotool({"key", "Return"});
    std::string text;
    waitFor([&] { return !(text = test::readFile(typedFile())).empty(); });
    return text;
}

QImage DesktopSession::shotWithPictures(const QRect& panel, double white,
                                        const std::function<bool(const QImage&)>& also) {
    // The pictures are taken in the background after the panel shows: once the last has
    // reached its cell, the screen shows them at the next paint.
    EXPECT_TRUE(waitForMark("pictures")) << "the pictures never all arrived";
    QImage shot;
    const bool shown = waitFor([&] {
        shot = x_->screenshot();
        return !shot.isNull() && whiteShare(shot, panel.intersected(shot.rect())) > white &&
               (!also || also(shot));
    });
    EXPECT_TRUE(shown) << "the panel shows no window pictures";
    return shown ? shot : QImage();
}

void DesktopSession::saveShot(const QImage& shot, const std::string& name) {
    const char* update = std::getenv("VELORA_UPDATE_DOCS_IMAGES");
    const QString file = update && std::string(update) == "1"
                             ? QStringLiteral(VELORA_DOCS_IMAGES_DIR "/") + QString::fromStdString(name)
                             : QDir::currentPath() + "/" + QString::fromStdString(name);
    EXPECT_TRUE(shot.save(file, "PNG")) << file.toStdString();
}

void DesktopSession::startASecondTime() {
    auto second = ChildProcess::start({VELORA_PROGRAM}, environment(), home_ / "second.log");
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->waitForExit(kLongWait)) << "the second start keeps running";
    EXPECT_TRUE(WIFEXITED(second->status()) && WEXITSTATUS(second->status()) == 0) << second->status();
}

bool DesktopSession::isOwnClient(xcb_window_t w) {
    if (w == 0) return false;
    const std::optional<pid_t> owner = x_->pid(w);
    if (std::ranges::count(ownWindows_, w)) return true;
    return std::ranges::any_of(clients_, [&](const auto& client) {
        return client.first == w || (owner && *owner == client.second->pid());
    });
}

} // namespace velora::e2e
