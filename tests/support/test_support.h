#pragma once
// Helpers shared by the tests: scratch folders and small file utilities.

#include <filesystem>
#include <string>

namespace tvitest {

// A fresh empty folder under the system's temporary folder, removed when
// the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// The project's source folder (for examples/ and fixtures).
std::filesystem::path sourceDir();

}  // namespace tvitest
