// Loading the HTTP cores from memory: what a good, a broken and a foreign
// image leave in a library record.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/netxfer/netxfer_library.h"

namespace vltg::platform {
namespace {

std::vector<unsigned char> CoreImage(const std::string& core) {
  std::ifstream file(std::string(VLTG_BINARY_DIR) + "/platform/netxfer/libvltg_netxfer_" + core + ".so",
                     std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int Resolved(const NetXferLibrary& l) {
  return (l.Create != nullptr) + (l.Destroy != nullptr) + (l.Set != nullptr) + (l.Get != nullptr) +
         (l.GetLastError != nullptr) + (l.CheckIndex != nullptr) + (l.Do != nullptr);
}

bool IsOpen(int fd) { return fd >= 0 && fcntl(fd, F_GETFD) != -1; }

std::string Target(int fd) {
  char target[256] = {};
  return readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1) > 0 ? target : "";
}

TEST(NetXferLibrary, LoadsACoreFromAMemoryFileAndUnloadsItCompletely) {
  std::vector<unsigned char> image = CoreImage("https");
  ASSERT_FALSE(image.empty());
  NetXferLibrary library;
  LoadNetXferImage(library, image, "HTTPS_");
  ASSERT_NE(library.module, nullptr);
  EXPECT_EQ(Resolved(library), 7);
  EXPECT_EQ(Target(library.memoryFile).rfind("/memfd:", 0), 0u) << Target(library.memoryFile);

  NxInt handle = library.Create(nullptr, 0, 0);
  EXPECT_NE(handle, 0);
  EXPECT_EQ(library.Get(handle, 43, 0, nullptr), 60);  // Timeout
  EXPECT_EQ(library.Destroy(handle), 0);
  EXPECT_NE(library.Destroy(handle), 0);  // a stale handle is refused

  int memoryFile = library.memoryFile;
  UnloadNetXferImage(library);
  EXPECT_EQ(Resolved(library), 0);
  EXPECT_EQ(library.module, nullptr);
  EXPECT_FALSE(IsOpen(memoryFile));
  UnloadNetXferImage(library);  // a second unload does nothing
}

TEST(NetXferLibrary, AnImageThatIsMissingOrDoesNotLoadLeavesTheEntryPointsNull) {
  std::vector<unsigned char> garbage(4096, 0x5a);
  NetXferLibrary library;
  LoadNetXferImage(library, garbage, "HTTP_");
  EXPECT_EQ(library.module, nullptr);
  EXPECT_EQ(Resolved(library), 0);
  EXPECT_EQ(library.memoryFile, -1);

  LoadNetXferImage(library, {}, "HTTP_");
  EXPECT_EQ(library.module, nullptr);
  EXPECT_EQ(Resolved(library), 0);

  // A core without the asked-for exports loads, but resolves nothing.
  LoadNetXferImage(library, CoreImage("http"), "HTTPS_");
  EXPECT_NE(library.module, nullptr);
  EXPECT_EQ(Resolved(library), 0);
  UnloadNetXferImage(library);
}

TEST(NetXferLibrary, ACoreThatStaysResidentNeverLendsItsNameToTheNext) {
  NetXferLibrary first, second;
  LoadNetXferImage(first, CoreImage("http"), "HTTP_");
  ASSERT_NE(first.module, nullptr);
  // Pin it, as a module that cannot be unloaded would be.
  std::string path = "/proc/self/fd/" + std::to_string(first.memoryFile);
  void* pinned = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  ASSERT_NE(pinned, nullptr);
  dlclose(pinned);
  int memoryFile = first.memoryFile;
  UnloadNetXferImage(first);
  EXPECT_EQ(Resolved(first), 0);
  EXPECT_TRUE(IsOpen(memoryFile));

  LoadNetXferImage(second, CoreImage("https"), "HTTPS_");
  EXPECT_NE(second.memoryFile, memoryFile);
  EXPECT_EQ(Resolved(second), 7);
  UnloadNetXferImage(second);
}

}  // namespace
}  // namespace vltg::platform
