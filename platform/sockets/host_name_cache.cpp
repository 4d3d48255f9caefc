#include "platform/sockets/host_name_cache.h"

#include <map>
#include <mutex>

#include "platform/base/ascii_text.h"

namespace vltg::platform {
namespace {

struct HostNameCache {
  std::mutex mutex;
  std::map<std::string, uint32_t> addresses;  // by lower-case name
};

HostNameCache& Cache() {
  static HostNameCache cache;
  return cache;
}

std::string Key(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = AsciiLower(c);
  return key;
}

}  // namespace

std::optional<uint32_t> FindCachedHost(const std::string& name) {
  const std::string key = Key(name);
  auto& cache = Cache();
  std::lock_guard lock(cache.mutex);
  const auto found = cache.addresses.find(key);
  if (found == cache.addresses.end()) return std::nullopt;
  return found->second;
}

void AddCachedHost(const std::string& name, uint32_t address) {
  std::string key = Key(name);
  auto& cache = Cache();
  std::lock_guard lock(cache.mutex);
  cache.addresses.emplace(std::move(key), address);
}

void ClearHostNameCache() {
  auto& cache = Cache();
  std::lock_guard lock(cache.mutex);
  cache.addresses.clear();
}

}  // namespace vltg::platform
