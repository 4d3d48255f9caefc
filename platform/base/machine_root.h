#pragma once
// The directory that stands in for the machine's own state (registry, service
// database, event log, telephony line list, COM port map). Tests and demos point
// VLTG_ROOT at a directory of their own, so nothing touches the real system.
#include <filesystem>

namespace vltg::platform {

inline constexpr char kDefaultMachineRoot[] = "/var/lib/vltg";

// $VLTG_ROOT when set and not empty, else /var/lib/vltg. Read at every call.
std::filesystem::path MachineRoot();

}  // namespace vltg::platform
