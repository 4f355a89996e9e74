#pragma once
// Whole files as text, for tests that write inputs and check what the system wrote.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace velora::test {

// The file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Replaces the file with the text, making its folders first.
inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace velora::test
