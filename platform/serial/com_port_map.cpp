#include "platform/serial/com_port_map.h"

#include <sys/stat.h>

#include "platform/base/machine_root.h"

namespace vltg::platform {

std::optional<int> ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 7) return std::nullopt;
  for (size_t i = 0; i < 3; ++i) {
    if ((name[i] | 0x20) != "com"[i]) return std::nullopt;
  }
  if (name[3] == '0') return std::nullopt;
  int number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

std::string ResolveComPort(const std::string& name) {
  const auto number = ComPortNumber(name);
  if (!number) return name;
  const std::string link = (MachineRoot() / "devices" / ("com" + std::to_string(*number))).string();
  struct stat st;
  // The link counts even when it dangles: opening it then fails, which says
  // more than quietly falling back to a real port.
  if (lstat(link.c_str(), &st) == 0) return link;
  return "/dev/ttyS" + std::to_string(*number - 1);
}

}  // namespace vltg::platform
