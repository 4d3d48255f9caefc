#include "platform/base/machine_root.h"

#include <cstdlib>

namespace vltg::platform {

std::filesystem::path MachineRoot() {
  const char* root = std::getenv("VLTG_ROOT");
  if (root == nullptr || *root == '\0') return kDefaultMachineRoot;
  return root;
}

}  // namespace vltg::platform
