#include "platform/x11/x11_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace velora::x11 {

ProcessState processState(pid_t pid) {
    if (pid <= 0) return ProcessState::Unknown;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ProcessState::Gone : ProcessState::Unknown;
    std::array<char, 512> buffer{};
    const ssize_t n = ::read(fd, buffer.data(), buffer.size() - 1);
    ::close(fd);
    if (n <= 0) return ProcessState::Unknown;
    // "pid (command) state ...": the command may itself hold parentheses, so look for the last.
    const std::string_view stat(buffer.data(), std::size_t(n));
    const std::size_t close = stat.rfind(')');
    if (close == std::string_view::npos || close + 2 >= stat.size()) return ProcessState::Unknown;
    switch (stat[close + 2]) {
    case 'T':
    case 't':
        return ProcessState::Stopped;
    case 'Z':
    case 'X':
    case 'x':
        return ProcessState::Gone;
    default:
        return ProcessState::Running;
    }
}

std::string executablePath(pid_t pid) {
    if (pid <= 0) return {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return std::string(buffer.data(), std::size_t(n));
}

} // namespace velora::x11
