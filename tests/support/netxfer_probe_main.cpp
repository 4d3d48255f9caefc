// Loads the HTTP cores this program carries, as the gateway does at start,
// creates one component of each kind, unloads, and prints what it saw:
//   memory files: N         (cores held in anonymous memory files)
//   mapped cores: N         (cores mapped into the process)
//   HTTPS entry points: 7   (non-null entry points, 0 to 7)
//   TnxsHTTPS: created      (or the exception's message)
// once after loading and once after unloading.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "gateway/wctp/nx_http.h"
#include "gateway/wctp/nxs_https.h"
#include "platform/netxfer/netxfer_library.h"

namespace {

int MemoryFiles() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (dirent* entry = readdir(dir)) {
    char target[256] = {};
    std::string path = std::string("/proc/self/fd/") + entry->d_name;
    if (readlink(path.c_str(), target, sizeof target - 1) > 0 && std::string(target).rfind("/memfd:", 0) == 0) {
      ++count;
    }
  }
  closedir(dir);
  return count;
}

int MappedCores() {
  std::set<std::string> cores;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    size_t at = line.find("/memfd:vltg-");
    if (at != std::string::npos) cores.insert(line.substr(at));
  }
  return static_cast<int>(cores.size());
}

int EntryPoints(const vltg::platform::NetXferLibrary& l) {
  return (l.Create != nullptr) + (l.Destroy != nullptr) + (l.Set != nullptr) + (l.Get != nullptr) +
         (l.GetLastError != nullptr) + (l.CheckIndex != nullptr) + (l.Do != nullptr);
}

template <class Component>
std::string TryCreate() {
  try {
    Component component;
    return "created";
  } catch (const vltg::Exception& e) {
    return e.what();
  }
}

void Report() {
  std::printf("memory files: %d\n", MemoryFiles());
  std::printf("mapped cores: %d\n", MappedCores());
  std::printf("HTTPS entry points: %d\n", EntryPoints(vltg::platform::HttpsLibrary()));
  std::printf("HTTP entry points: %d\n", EntryPoints(vltg::platform::HttpLibrary()));
  std::printf("TnxsHTTPS: %s\n", TryCreate<vltg::TnxsHTTPS>().c_str());
  std::printf("TnxHTTP: %s\n", TryCreate<vltg::TnxHTTP>().c_str());
}

}  // namespace

int main() {
  vltg::platform::LoadNetXferCores();
  Report();
  vltg::platform::UnloadNetXferCores();
  Report();
  return 0;
}
