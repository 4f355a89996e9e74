#include "app/instance_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace velora {

namespace {

bool isFolder(const char* path) {
    struct stat st {};
    return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string instanceDisplayTag() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY"); // NOLINT(concurrency-mt-unsafe)
    if (wayland && *wayland) return std::string("wayland-") + wayland;
    const char* x11 = std::getenv("DISPLAY"); // NOLINT(concurrency-mt-unsafe)
    return x11 ? std::string(x11) : std::string();
}

std::string instanceSocketPath(const std::string& displayTag) {
    std::string folder = "/tmp";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR"); // NOLINT(concurrency-mt-unsafe)
    const char* temporary = std::getenv("TMPDIR");        // NOLINT(concurrency-mt-unsafe)
    if (isFolder(runtime))
        folder = runtime;
    else if (temporary && *temporary)
        folder = temporary;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string tag = displayTag.empty() ? std::string("none") : displayTag;
    for (char& c : tag) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
        if (!plain) c = '_';
    }
    return folder + "/velora-" + std::to_string(::getuid()) + "-" + tag;
}

std::optional<InstanceReply> askRunningInstance(const std::string& path, std::string_view request,
                                                int timeoutMs) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return std::nullopt;
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    // A local connect does not wait: it succeeds or fails at once.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    InstanceReply reply;
    std::string line(request);
    line += '\n';
    std::size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            return reply; // it went away: no answer
        }
        sent += std::size_t(n);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string answer;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buffer, std::size_t(n));
        if (const auto end = answer.find('\n'); end != std::string::npos) {
            reply.answer = answer.substr(0, end);
            break;
        }
        if (answer.size() > kMaxRequestLine) break;
    }
    ::close(fd);
    return reply;
}

} // namespace velora
