#pragma once
// Thread-safe answers of the C library that its classic calls give from shared static storage.
#include <string>

namespace velora {

// The message of an errno value (strerror_r, not strerror: threads write settings and read
// files at the same time).
std::string errorText(int error);

// The home folder of the user this process runs as, from the password database; empty when
// it names none.
std::string passwordHomeFolder();

} // namespace velora
