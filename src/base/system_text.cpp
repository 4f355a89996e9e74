#include "base/system_text.h"

#include <pwd.h>
#include <string.h>
#include <unistd.h>

#include <vector>

namespace velora {

std::string errorText(int error) {
    char buffer[256];
    // GNU strerror_r: returns the message, in the buffer or in static storage.
    return ::strerror_r(error, buffer, sizeof buffer);
}

std::string passwordHomeFolder() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

} // namespace velora
