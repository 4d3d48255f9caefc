#pragma once
// An exclusive advisory lock on a file (flock), held by this object: it
// serialises short read-check-write steps between processes. The lock file is
// created when missing (mode 0600) and left in place.
#include <filesystem>

namespace vltg::platform {

class FileLock {
 public:
  // Blocks until the lock is held; Held() is false when the file cannot be
  // opened or locked (errno then tells why).
  explicit FileLock(const std::filesystem::path& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace vltg::platform
