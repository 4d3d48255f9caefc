#pragma once
// Sets (or unsets) an environment variable for one test and puts the old value
// back at the end. Tests use it to point VLTG_ROOT at a directory of their own.
#include <optional>
#include <string>

namespace vltg::testing {

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace vltg::testing
