#include "platform/netxfer/netxfer_library.h"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <string>

// The core images the program carries; each pair is defined only in a program
// built with that core embedded (vltg_embed_netxfer_cores), else both are null.
extern "C" {
extern const unsigned char vltg_core_NXSSL6_HTTPS_DTA[] __attribute__((weak));
extern const unsigned char vltg_core_NXSSL6_HTTPS_DTA_end[] __attribute__((weak));
extern const unsigned char vltg_core_NETXFER6_HTTP_DTA[] __attribute__((weak));
extern const unsigned char vltg_core_NETXFER6_HTTP_DTA_end[] __attribute__((weak));
}

namespace vltg::platform {
namespace {

std::span<const unsigned char> Embedded(const unsigned char* begin, const unsigned char* end) {
  if (begin == nullptr || end == nullptr || end <= begin) return {};
  return {begin, static_cast<size_t>(end - begin)};
}

bool WriteAll(int fd, std::span<const unsigned char> bytes) {
  while (!bytes.empty()) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
  return true;
}

template <class Fn>
void Resolve(void* module, const std::string& prefix, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(dlsym(module, (prefix + name).c_str()));
}

}  // namespace

NetXferLibrary& HttpsLibrary() {
  static NetXferLibrary library;
  return library;
}

NetXferLibrary& HttpLibrary() {
  static NetXferLibrary library;
  return library;
}

void LoadNetXferImage(NetXferLibrary& library, std::span<const unsigned char> image, const char* prefix) {
  UnloadNetXferImage(library);
  library = NetXferLibrary{};
  if (image.empty()) return;

  int fd = memfd_create((std::string("vltg-") + prefix + "core").c_str(), MFD_CLOEXEC);
  if (fd < 0) return;
  // The file stays open while the module is loaded: the dynamic linker knows the
  // module by its /proc/self/fd path, which must not name another core meanwhile.
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  void* module = WriteAll(fd, image) ? dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
  if (module == nullptr) {
    close(fd);
    return;
  }
  library.module = module;
  library.memoryFile = fd;
  Resolve(module, prefix, "Create", library.Create);
  Resolve(module, prefix, "Destroy", library.Destroy);
  Resolve(module, prefix, "Set", library.Set);
  Resolve(module, prefix, "Get", library.Get);
  Resolve(module, prefix, "GetLastError", library.GetLastError);
  Resolve(module, prefix, "CheckIndex", library.CheckIndex);
  Resolve(module, prefix, "Do", library.Do);
}

void UnloadNetXferImage(NetXferLibrary& library) {
  if (library.module == nullptr) return;
  void* module = library.module;
  int memoryFile = library.memoryFile;
  library = NetXferLibrary{};  // entry points null before the module goes
  dlclose(module);
  // A module that stays resident keeps its /proc/self/fd name: its memory file
  // then stays open too, so that the name never comes to mean another core.
  std::string path = "/proc/self/fd/" + std::to_string(memoryFile);
  if (void* resident = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
    dlclose(resident);
    return;
  }
  close(memoryFile);
}

void LoadHttpsLibrary() {
  LoadNetXferImage(HttpsLibrary(), Embedded(vltg_core_NXSSL6_HTTPS_DTA, vltg_core_NXSSL6_HTTPS_DTA_end),
                   "HTTPS_");
}

void LoadHttpLibrary() {
  LoadNetXferImage(HttpLibrary(), Embedded(vltg_core_NETXFER6_HTTP_DTA, vltg_core_NETXFER6_HTTP_DTA_end),
                   "HTTP_");
}

void UnloadHttpLibrary() { UnloadNetXferImage(HttpLibrary()); }
void UnloadHttpsLibrary() { UnloadNetXferImage(HttpsLibrary()); }

void LoadNetXferCores() {
  LoadHttpsLibrary();
  LoadHttpLibrary();
}

void UnloadNetXferCores() {
  UnloadHttpLibrary();
  UnloadHttpsLibrary();
}

}  // namespace vltg::platform
