#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <filesystem>

namespace velora::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const { return path_ / child; }

  private:
    std::filesystem::path path_;
};

} // namespace velora::test
