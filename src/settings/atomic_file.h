#pragma once
// Replacing a file's contents all at once: readers see the old file or the new one, never
// part of either, and a failed write leaves the old file as it was.

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace velora {

// Writes the bytes to a temporary file beside the target, flushes it to the disk, gives it
// the mode and renames it over the target; creates missing parent folders (mode 0700).
// Returns an empty string on success, otherwise what went wrong (the temporary file is
// removed again).
std::string writeFileAtomically(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

} // namespace velora
