// The program proper, loaded by the `velora` executable (main.cpp) for every start that is not
// a trigger.
//
// It picks its desktop once: a Wayland session (WAYLAND_DISPLAY) on a compositor the Wayland
// backend supports, else the X server named by DISPLAY. A Wayland session on any other
// compositor (GNOME, KDE Plasma) ends the program with a message: through Xwayland it would
// see only X11 clients and get its keys only while one of them has the focus. It brings the
// Qt main thread, HTTP and the XDG autostart entries, installs them as the platform and starts
// the application controller. A second start on the same display reaches the running program
// (which may show its preferences) and ends with 0.
//
// SIGTERM, SIGINT and SIGHUP end it like "Quit".
// Exit codes: 0 normal end (also a second start that reached the first), 1 no desktop, an
// unsupported Wayland compositor, the X server or the compositor lost, or no accessibility
// access (also after "Quit" in the permission alert), 2 a bad option.
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QMetaObject>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/announcements.h"
#include "app/instance_socket.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/velora_controller.h"
#include "engine/vl_handler.h"
#include "panel/cover_flow_loader.h"
#include "platform/linux/qt_http.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/platform.h"
#include "platform/qt/qt_main_thread.h"
#include "settings/user_defaults.h"
#include "velora_config.h"

#ifdef VELORA_WITH_X11
#include "platform/x11/x11_desktop.h"
#endif
#ifdef VELORA_WITH_WAYLAND
#include "platform/wayland/wayland_desktop.h"
#endif

namespace {

void printUsage() {
    std::printf("Usage: velora [OPTION]\n"
                "Keyboard-driven window and application switcher for X11 desktops and wlroots\n"
                "Wayland compositors (sway, wayfire, labwc, niri, river, Hyprland).\n"
                "\n"
                "Hold the modifier and press the hot key to cycle through applications (Super-Tab),\n"
                "all windows (Alt-Tab) or the active application's windows (Alt-`).\n"
                "\n"
                "  --help            show this help and exit\n"
                "  --version         show the version and exit\n"
                "  --trigger NAME    press the hot key NAME in the running velora and exit; for\n"
                "                    a compositor's key bindings. NAME is one of applications,\n"
                "                    windows, application-windows, each also with -backward\n"
                "\n"
                "On Wayland, velora works on sway (through its IPC) and on other wlroots\n"
                "compositors (wayfire, Hyprland, niri, labwc, river) whose key bindings run\n"
                "velora --trigger (see the documentation); GNOME and KDE Plasma on Wayland are\n"
                "not supported: log in to their X11 session instead.\n"
                "\n"
                "Settings live in $XDG_CONFIG_HOME/velora/defaults.plist and are edited in the\n"
                "preferences window (status icon menu, or start velora again while it runs).\n");
}

// Ends the process without running the destructors of the singletons, whose threads may
// still be winding down; the settings are written out first.
[[noreturn]] void finish(int code) {
    velora::UserDefaults::standard().synchronize();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
}

// The end of the desktop is noticed twice: by the desktop's event thread, and (on X11) by Qt's
// connection, which calls exit(1) on the main thread. Whichever comes first, the user reads
// one line about it and the settings are written out before the process ends.
std::atomic<bool> lossReported{false};
std::function<bool()> desktopGone; // true when exit() came from the desktop's end

void reportLoss(const std::string& message) {
    if (lossReported.exchange(true)) return;
    std::fprintf(stderr, "velora: %s\n", message.c_str());
    std::fflush(stderr);
}

#ifdef VELORA_WITH_WAYLAND
// Qt's Wayland client ends the process with _exit(1) when its connection breaks, right after
// it warns: the warning is the last moment to tell the user and to write the settings.
QtMessageHandler qtMessages = nullptr;
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && (message.startsWith(QLatin1String("The Wayland connection broke")) ||
                                 message.startsWith(QLatin1String("The Wayland connection experienced")))) {
        reportLoss("lost the connection to the Wayland compositor");
        velora::UserDefaults::standard().synchronize();
        std::fflush(stdout);
        return;
    }
    if (qtMessages) qtMessages(type, context, message);
}
#endif

// Registered with atexit once the desktop is open: only exit() from elsewhere gets here.
void endIfTheDesktopIsGone() {
    if (desktopGone && desktopGone()) finish(1);
}

constexpr const char* kWhereVeloraWorks =
    "velora works on X11 desktops and on Wayland with sway and the other wlroots compositors "
    "(wayfire, labwc, niri, river, Hyprland); GNOME and KDE Plasma on Wayland are not supported "
    "(log in to their X11 session instead)";

bool isSet(const char* value) {
    return value && *value;
}

// What the program needs of the desktop it opened, the same for X11 and Wayland: the loss
// handler, the settings written out when the desktop goes, the ports and the shutdown.
template <class Desktop>
void adoptDesktop(Desktop& desktop, const std::function<void(const std::string&)>& onLoss,
                  std::function<bool()> gone, velora::Platform& ports, std::function<void()>& shutdown,
                  velora::QtHttp& http, velora::XdgAutostart& loginItems) {
    desktop.setConnectionLostHandler(onLoss);
    velora::UserDefaults::standard(); // made before the handler, so it outlives the handler's run
    desktopGone = std::move(gone);
    std::atexit(endIfTheDesktopIsGone);
    ports = desktop.platform(&http, &loginItems);
    shutdown = [&desktop] { desktop.shutdown(); };
}

// The options: --help and --version end the program at once (0), anything else is a bad
// option (2). Read before Qt starts, so that they work without a display.
std::optional<int> handleOptions(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    const bool parsed = parser.parse(arguments);
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const QString what =
            parsed ? QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())
                   : parser.errorText();
        std::fprintf(stderr, "velora: %s\nTry 'velora --help'.\n", qPrintable(what));
        return 2;
    }
    if (parser.isSet(help)) {
        printUsage();
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("velora %s\n", VELORA_VERSION);
        return 0;
    }
    return std::nullopt;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int velora_program_main(int argc, char** argv) {
    // glibc gives every thread that allocates an arena of its own (up to eight per core),
    // and each keeps its freed memory: the short-lived threads of switches and the picture
    // threads would each hold on to some. Two arenas are plenty for a program that is
    // mostly idle.
    // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread runs yet
    mallopt(M_ARENA_MAX, 2);
    if (const std::optional<int> code = handleOptions(argc, argv)) return *code;

    const char* display = std::getenv("DISPLAY");
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const bool onWayland = isSet(waylandDisplay);
#ifndef VELORA_WITH_WAYLAND
    if (onWayland) {
        std::fprintf(stderr, "velora: this build has no Wayland backend; %s\n", kWhereVeloraWorks);
        return 1;
    }
#endif
    if (!onWayland && !isSet(display)) {
        std::fprintf(stderr, "velora: no desktop (neither WAYLAND_DISPLAY nor DISPLAY is set); %s\n",
                     kWhereVeloraWorks);
        return 1;
    }
#ifndef VELORA_WITH_X11
    if (!onWayland) {
        std::fprintf(stderr, "velora: this build has no X11 desktop backend; no desktop is available\n");
        return 1;
    }
#endif
    // On Wayland the preferences window, the alerts and the About window are ordinary windows
    // of Qt's own Wayland connection, beside the backend's (off screen when Qt's Wayland
    // plugin is missing; never through Xwayland). The panel is not one of them (see below).
    // No other thread runs yet, so changing the environment is safe here.
    if (onWayland && !isSet(std::getenv("QT_QPA_PLATFORM")))
        ::setenv("QT_QPA_PLATFORM", "wayland;offscreen", 1); // NOLINT(concurrency-mt-unsafe)

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velora"));
    QApplication::setApplicationVersion(QStringLiteral(VELORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("velora"));
    QApplication::setQuitOnLastWindowClosed(false);

    velora::SingleInstance instance(
        velora::SingleInstance::socketName(QString::fromStdString(velora::instanceDisplayTag())));
    // A start that reached the running program ends at once: it holds nothing to write, and
    // the teardown of Qt's Wayland connection would only free what the process gives back.
    if (instance.notifyRunningInstance()) {
        std::fflush(stdout);
        ::_exit(0);
    }

    velora::QtMainThread mainThread;
    std::string error;
    velora::Platform ports;
    velora::QtHttp http;
    velora::XdgAutostart loginItems;
    std::function<void()> shutdownDesktop;
    auto onLoss = [&mainThread](const std::string& message) {
        reportLoss(message);
        mainThread.performAsync([] { QCoreApplication::exit(1); });
    };
#ifdef VELORA_WITH_WAYLAND
    std::unique_ptr<velora::WaylandDesktop> wayland;
    if (onWayland) {
        velora::WaylandDesktop::Failure failure = velora::WaylandDesktop::Failure::None;
        wayland = velora::WaylandDesktop::open(mainThread, failure, error);
        if (!wayland) {
            if (failure == velora::WaylandDesktop::Failure::Unsupported)
                std::fprintf(stderr, "velora: %s; %s\n", error.c_str(), kWhereVeloraWorks);
            else
                std::fprintf(stderr, "velora: %s\n", error.c_str());
            return 1;
        }
        adoptDesktop(
            *wayland, onLoss,
            [desktop = wayland.get()] {
                if (desktop->isConnected()) return false;
                reportLoss("lost the connection to the Wayland compositor");
                return true;
            },
            ports, shutdownDesktop, http, loginItems);
        qtMessages = qInstallMessageHandler(onQtMessage);
        wayland->start();
    }
#endif
#ifdef VELORA_WITH_X11
    std::unique_ptr<velora::X11Desktop> desktop;
    if (!onWayland) {
        desktop = velora::X11Desktop::open(mainThread, error);
        if (!desktop) {
            std::fprintf(stderr, "velora: %s\n", error.c_str());
            return 1;
        }
        adoptDesktop(
            *desktop, onLoss,
            [x11 = desktop.get()] {
                // Qt may see the end first; the desktop's loop needs a moment to see it too.
                if (x11->isConnected() && x11->sync(1.0)) return false; // some other exit
                const char* name = std::getenv("DISPLAY");
                reportLoss(std::string("lost the connection to the X display ") + (name ? name : ""));
                return true;
            },
            ports, shutdownDesktop, http, loginItems);
    }
#endif
    velora::installPlatform(&ports);

    // The panel's window and view, loaded once for the life of the process.
    velora::VLHandler::setCoverFlowLoader([] {
        velora::CoverFlowOutlets outlets = velora::loadCoverFlow();
        // On Wayland a SurfacePanelWindow over the widget: the panel never becomes an ordinary
        // window, which the compositor would tile and focus.
        return velora::VLPanelOutlets{outlets.panel, outlets.browserView};
    });
    velora::VLHandler::setAnnounceCheck(
        [] { velora::checkForAnnounce(velora::announcementURL(), VELORA_ANNOUNCE_TIMEOUT_MS); });

    velora::VeloraController controller;
    int code = 0;
    controller.setTerminateHandler([&code] {
        if (QCoreApplication::instance()) QCoreApplication::exit(code);
    });
    if (!controller.start()) {
        std::fprintf(stderr, "velora: accessibility access is not available; ending\n");
        finish(1);
    }
    if (!instance.listen(
            [&controller] { controller.applicationShouldHandleReopen(); },
            [&controller](const std::string& name) { return controller.pressHotKeyNamed(name); }))
        std::fprintf(stderr,
                     "velora: cannot listen for later starts; a second velora will not find this one\n");

    velora::quitOnTerminationSignals();
    code = QApplication::exec();
    controller.applicationWillTerminate();
    mainThread.shutdown();
    shutdownDesktop();
    finish(code);
}
