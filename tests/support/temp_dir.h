#pragma once
// A fresh directory for one test, removed with everything in it at the end.
#include <filesystem>
#include <string>
#include <string_view>

namespace vltg::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Writes the bytes as the named file, replacing it.
  void Write(std::string_view name, std::string_view bytes) const;
  // The named file's bytes; empty when it is missing.
  std::string Read(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace vltg::testing
