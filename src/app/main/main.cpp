// velora: keyboard-driven window and application switcher.
//
// The program picks its desktop once (the X server named by DISPLAY), brings the Qt main
// thread, HTTP and the XDG autostart entries, installs them as the platform and starts the
// application controller. A second start on the same display reaches the running program
// (which may show its preferences) and ends with 0.
//
// SIGTERM, SIGINT and SIGHUP end it like "Quit".
// Exit codes: 0 normal end (also a second start that reached the first), 1 no desktop, the
// X server lost, or no accessibility access (also after "Quit" in the permission alert),
// 2 a bad option.
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/announcements.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/velora_controller.h"
#include "engine/vl_handler.h"
#include "panel/cover_flow_loader.h"
#include "platform/linux/curl_http.h"
#include "platform/linux/xdg_autostart.h"
#include "platform/platform.h"
#include "platform/qt/qt_main_thread.h"
#include "settings/user_defaults.h"
#include "velora_config.h"

#ifdef VELORA_WITH_X11
#include "platform/x11/x11_desktop.h"
#endif

namespace {

void printUsage() {
    std::printf(
        "Usage: velora [OPTION]\n"
        "Keyboard-driven window and application switcher for X11 desktops.\n"
        "\n"
        "Hold the modifier and press the hot key to cycle through applications (Super-Tab),\n"
        "all windows (Alt-Tab) or the active application's windows (Alt-`).\n"
        "\n"
        "  --help       show this help and exit\n"
        "  --version    show the version and exit\n"
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

#ifdef VELORA_WITH_X11
// The end of the X server is noticed twice: by the desktop's event loop, on its own thread,
// and by Qt's connection, which calls exit(1) on the main thread. Whichever comes first, the
// user reads one line about it and the settings are written out before the process ends.
std::atomic<bool> lossReported{false};
velora::X11Desktop* watchedDesktop = nullptr;

void reportLoss(const std::string& message) {
    if (lossReported.exchange(true)) return;
    std::fprintf(stderr, "velora: %s\n", message.c_str());
    std::fflush(stderr);
}

// Registered with atexit once the desktop is open: only exit() from elsewhere gets here.
void endIfTheServerIsGone() {
    if (!watchedDesktop) return;
    // Qt may see the end first; the desktop's loop needs a moment to see it too.
    if (watchedDesktop->isConnected() && watchedDesktop->sync(1.0)) return;  // some other exit
    const char* display = std::getenv("DISPLAY");
    reportLoss(std::string("lost the connection to the X display ") + (display ? display : ""));
    finish(1);
}
#endif

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velora %s\n", VELORA_VERSION);
            return 0;
        }
        std::fprintf(stderr, "velora: unknown option '%s'\nTry 'velora --help'.\n", argv[i]);
        return 2;
    }

    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr, "velora: no X display (DISPLAY is not set); velora needs an X11 desktop\n");
        return 1;
    }
#ifndef VELORA_WITH_X11
    std::fprintf(stderr, "velora: this build has no X11 desktop backend; no desktop is available\n");
    return 1;
#else
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velora"));
    QApplication::setApplicationVersion(QStringLiteral(VELORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("velora"));
    QApplication::setQuitOnLastWindowClosed(false);

    velora::SingleInstance instance(velora::SingleInstance::socketName(QString::fromLocal8Bit(display)));
    if (instance.notifyRunningInstance()) return 0;

    velora::QtMainThread mainThread;
    std::string error;
    std::unique_ptr<velora::X11Desktop> desktop = velora::X11Desktop::open(mainThread, error);
    if (!desktop) {
        std::fprintf(stderr, "velora: %s\n", error.c_str());
        return 1;
    }
    desktop->setConnectionLostHandler([&mainThread](const std::string& message) {
        reportLoss(message);
        mainThread.performAsync([] { QCoreApplication::exit(1); });
    });
    velora::UserDefaults::standard();  // made before the handler, so it outlives the handler's run
    watchedDesktop = desktop.get();
    std::atexit(endIfTheServerIsGone);
    velora::CurlHttp http;
    velora::XdgAutostart loginItems;
    const velora::Platform ports = desktop->platform(&http, &loginItems);
    velora::installPlatform(&ports);

    // The panel's window and view, loaded once for the life of the process.
    velora::VLHandler::setCoverFlowLoader([] {
        velora::CoverFlowOutlets outlets = velora::loadCoverFlow();
        return velora::VLPanelOutlets{outlets.window, outlets.browserView};
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
    if (!instance.listen([&controller] { controller.applicationShouldHandleReopen(); }))
        std::fprintf(stderr, "velora: cannot listen for later starts; a second velora will not find this one\n");

    velora::quitOnTerminationSignals();
    code = QApplication::exec();
    controller.applicationWillTerminate();
    mainThread.shutdown();
    desktop->shutdown();
    finish(code);
#endif
}
