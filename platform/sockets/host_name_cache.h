#pragma once
// The process-wide cache of resolved host names that the socket component
// keeps, so repeated deliveries to one host need one lookup. Names compare
// without regard to case; entries stay until it is cleared. Safe from any
// thread.
#include <cstdint>
#include <optional>
#include <string>

namespace vltg::platform {

// The cached address (network order) of a name.
std::optional<uint32_t> FindCachedHost(const std::string& name);
// Adds a name; a name already cached keeps its first address.
void AddCachedHost(const std::string& name, uint32_t address);
void ClearHostNameCache();

}  // namespace vltg::platform
