#include "settings/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/system_text.h"

namespace velora {

namespace {

std::string describe(const std::string& what, const std::filesystem::path& path, int error) {
    return what + " " + path.string() + ": " + errorText(error);
}

// Creates the missing folders of the path, each with mode 0700.
std::string makeFolders(const std::filesystem::path& folder) {
    if (folder.empty()) return {};
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? std::string{} : describe("not a folder:", folder, ENOTDIR);
    }
    if (folder.has_parent_path() && folder.parent_path() != folder) {
        if (std::string error = makeFolders(folder.parent_path()); !error.empty()) return error;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return describe("cannot create", folder, errno);
    return {};
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

std::string writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, mode_t mode) {
    const std::filesystem::path folder = target.parent_path();
    if (std::string error = makeFolders(folder); !error.empty()) return error;

    std::string temp = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return describe("cannot create a file in", folder.empty() ? "." : folder, errno);

    std::string error;
    if (::fchmod(fd, mode) != 0) {
        error = describe("cannot set the mode of", temp, errno);
    } else if (!writeAll(fd, bytes)) {
        error = describe("cannot write", temp, errno);
    } else if (::fsync(fd) != 0) {
        error = describe("cannot flush", temp, errno);
    }
    if (::close(fd) != 0 && error.empty()) error = describe("cannot write", temp, errno);
    if (error.empty() && ::rename(temp.c_str(), target.c_str()) != 0)
        error = describe("cannot replace", target, errno);
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return error;
    }
    // Make the rename itself durable; the new contents are in place either way.
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

} // namespace velora
