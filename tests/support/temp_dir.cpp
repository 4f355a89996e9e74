#include "support/temp_dir.h"

#include <cstdlib>
#include <string>
#include <system_error>

namespace velora::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace velora::test
