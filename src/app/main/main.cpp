// velora: keyboard-driven window and application switcher.
//
// The executable is small on purpose: `velora --trigger NAME`, which a compositor's key
// binding runs on every press, is answered here with libc alone (trigger_client.h), and ends.
// Every other start loads the program proper, a library of its own (program.cpp, with Qt and
// the desktops' backends), from beside the executable (the build tree) or from the library
// folder it is installed in, and runs it.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <optional>
#include <string>

#include "app/trigger_client.h"

namespace {

using ProgramMain = int (*)(int, char**);

std::string executableFolder() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string folder(path, std::size_t(n));
    return folder.substr(0, folder.rfind('/'));
}

} // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> code = velora::runTriggerIfAsked(argc, argv)) return *code;
    const std::string folder = executableFolder();
    std::string tried;
    for (const std::string& path :
         {folder + "/" VELORA_PROGRAM_FILE, folder + "/" VELORA_PROGRAM_INSTALLED "/" VELORA_PROGRAM_FILE}) {
        if (::access(path.c_str(), R_OK) != 0) {
            tried += " " + path;
            continue;
        }
        void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::fprintf(stderr, "velora: cannot load %s: %s\n", path.c_str(), ::dlerror());
            return 1;
        }
        const auto run = reinterpret_cast<ProgramMain>(::dlsym(library, "velora_program_main"));
        if (!run) {
            std::fprintf(stderr, "velora: %s is not velora's program library\n", path.c_str());
            return 1;
        }
        return run(argc, argv);
    }
    std::fprintf(stderr, "velora: the program library is missing (looked for%s)\n", tried.c_str());
    return 1;
}
