// velora: keyboard-driven window and application switcher.
#include <cstdio>
#include <cstring>

#include "velora_config.h"

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
    std::fprintf(stderr, "velora: the switcher is not wired up yet in this build\n");
    return 1;
}
