#include "platform/linux/program_search.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace velora {

namespace {

bool isExecutableFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::string searchPath() {
    if (const char* v = std::getenv("PATH")) return v;
    size_t size = ::confstr(_CS_PATH, nullptr, 0);
    std::string path(size, '\0');
    if (size == 0 || ::confstr(_CS_PATH, path.data(), size) == 0) return "/bin:/usr/bin";
    path.resize(size - 1);
    return path;
}

} // namespace

std::optional<std::string> resolveProgram(std::string_view command) {
    if (command.empty()) return std::nullopt;
    if (command.front() == '/') return std::filesystem::path(command).lexically_normal().string();
    if (command.find('/') != std::string_view::npos) return std::nullopt;

    std::string list = searchPath();
    std::string_view rest = list;
    while (true) {
        auto colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        // Empty or relative entries would depend on the current directory; they are skipped.
        if (!dir.empty() && dir.front() == '/') {
            auto candidate = std::filesystem::path(dir) / command;
            if (isExecutableFile(candidate)) return candidate.lexically_normal().string();
        }
        if (colon == std::string_view::npos) break;
        rest = rest.substr(colon + 1);
    }
    return std::nullopt;
}

} // namespace velora
