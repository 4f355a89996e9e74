// Records how it was started, for the tests of program spawning. Into $VELORA_RECORDER_DIR it
// writes <name>.info (whether stdin is /dev/null, whether it leads its own session, its open
// file descriptors) and then <name>.args (argv[1..], each ended by a NUL byte), where <name>
// is the last part of argv[0]. Each file appears complete, through a rename.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool writeFile(const std::string& path, const std::string& data) {
    const std::string temp = path + ".part";
    std::ofstream(temp, std::ios::binary) << data;
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

bool stdinIsDevNull() {
    struct stat in {
    }, null{};
    return ::fstat(0, &in) == 0 && ::stat("/dev/null", &null) == 0 && S_ISCHR(in.st_mode) &&
           in.st_rdev == null.st_rdev;
}

std::string openDescriptors() {
    std::string list;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return list;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == ::dirfd(dir)) continue;
        list += std::string(entry->d_name) + " ";
    }
    ::closedir(dir);
    return list;
}

} // namespace

int main(int argc, char** argv) {
    const char* dir = std::getenv("VELORA_RECORDER_DIR");
    if (!dir || argc < 1) return 2;
    std::string name = argv[0];
    if (auto slash = name.rfind('/'); slash != std::string::npos) name = name.substr(slash + 1);

    std::string info = "stdin_devnull=" + std::to_string(stdinIsDevNull()) + "\n" +
                       "session_leader=" + std::to_string(::getsid(0) == ::getpid()) + "\n" +
                       "fds=" + openDescriptors() + "\n";
    std::string args;
    for (int i = 1; i < argc; ++i) {
        args += argv[i];
        args += '\0';
    }
    std::string base = std::string(dir) + "/" + name;
    return writeFile(base + ".info", info) && writeFile(base + ".args", args) ? 0 : 2;
}
