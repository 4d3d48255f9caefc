#pragma once
// A throw-away machine root for one test: $VLTG_ROOT points at a fresh
// temporary directory while the object lives, then the old value returns.
#include <filesystem>
#include <optional>
#include <string>

namespace vltg::testing {

class TempMachineRoot {
 public:
  TempMachineRoot();
  ~TempMachineRoot();
  TempMachineRoot(const TempMachineRoot&) = delete;
  TempMachineRoot& operator=(const TempMachineRoot&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::optional<std::string> previous_;
};

}  // namespace vltg::testing
