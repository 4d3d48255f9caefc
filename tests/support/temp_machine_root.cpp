#include "tests/support/temp_machine_root.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace vltg::testing {

TempMachineRoot::TempMachineRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vltg-root-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary machine root");
  path_ = pattern;
  if (const char* old = getenv("VLTG_ROOT")) previous_ = old;
  setenv("VLTG_ROOT", path_.c_str(), 1);
}

TempMachineRoot::~TempMachineRoot() {
  if (previous_) {
    setenv("VLTG_ROOT", previous_->c_str(), 1);
  } else {
    unsetenv("VLTG_ROOT");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace vltg::testing
