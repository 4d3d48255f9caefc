#include "platform/base/whole_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace vltg::platform {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinkHops = 40;  // as many as the kernel follows
constexpr char kNotRegular[] = "Not a regular file";
constexpr char kForeignLink[] = "Symbolic link of another user";

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; false when closing reports an error (a write that failed late).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// What a path leads to: the last name reached, and what stands there (no
// link), when anything does.
struct Resolved {
  fs::path path;
  bool found = false;
  struct stat st {};
};

// A failure to report: the reason and the errno that goes with it.
struct Failure {
  std::string reason;
  int error = 0;
};

Failure FromErrno() { return {std::strerror(errno), errno}; }

// Follows the links in the path's place that belong to this process's user or
// to root. Each link is opened itself (O_PATH) and its owner and text read
// from that descriptor, so a link swapped meanwhile is never followed unchecked.
bool Resolve(const fs::path& path, Resolved& out, Failure& failure) {
  out.path = path;
  for (int hops = 0;; ++hops) {
    const Descriptor fd(::open(out.path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.Valid()) {
      if (errno == ENOENT) {
        out.found = false;
        return true;
      }
      failure = FromErrno();
      return false;
    }
    if (::fstat(fd.Get(), &out.st) != 0) {
      failure = FromErrno();
      return false;
    }
    if (!S_ISLNK(out.st.st_mode)) {
      out.found = true;
      return true;
    }
    if (out.st.st_uid != ::geteuid() && out.st.st_uid != 0) {
      failure = {kForeignLink, EACCES};
      return false;
    }
    if (hops == kMaxLinkHops) {
      failure = {std::strerror(ELOOP), ELOOP};
      return false;
    }
    char text[PATH_MAX];
    const ssize_t n = ::readlinkat(fd.Get(), "", text, sizeof text);
    if (n < 0 || static_cast<size_t>(n) == sizeof text) {
      failure = n < 0 ? FromErrno() : Failure{std::strerror(ENAMETOOLONG), ENAMETOOLONG};
      return false;
    }
    const fs::path next(std::string(text, static_cast<size_t>(n)));
    out.path = next.is_absolute() ? next : out.path.parent_path() / next;
  }
}

// Resolves the path and, unless nothing is there, checks that a regular file is.
bool ResolveRegular(const fs::path& path, Resolved& out, Failure& failure) {
  if (!Resolve(path, out, failure)) return false;
  if (out.found && !S_ISREG(out.st.st_mode)) {
    failure = {kNotRegular, EINVAL};
    return false;
  }
  return true;
}

// Opens the resolved name without following a link and without waiting on a
// special file, and checks again on the descriptor that a regular file was
// opened: the name may have been swapped since it was resolved.
bool OpenRegular(const Resolved& resolved, int flags, mode_t mode, Descriptor& fd, Failure& failure) {
  fd.Reset(::open(resolved.path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
  if (!fd.Valid()) {
    failure = FromErrno();
    return false;
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    failure = FromErrno();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    failure = {kNotRegular, EINVAL};
    return false;
  }
  return true;
}

[[noreturn]] void Raise(const char* what, const fs::path& path, const Failure& failure) {
  std::string text = std::string(what) + " " + path.string() + ": " + failure.reason;
  errno = failure.error;  // for callers that map the failure to a code
  throw EFileError(text);
}

bool Refuse(std::string* why, const fs::path& path, const Failure& failure) {
  if (why != nullptr) *why = path.string() + ": " + failure.reason;
  return false;
}

// The process's umask, read without changing it (umask() itself would race
// with other threads).
mode_t ProcessUmask() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      try {
        mask = static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
      } catch (const std::exception&) {
      }
      break;
    }
  }
  return mask;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path& path) {
  Resolved resolved;
  Failure failure;
  if (!ResolveRegular(path, resolved, failure)) Raise("Cannot read", path, failure);
  if (!resolved.found) return std::nullopt;
  Descriptor fd(-1);
  if (!OpenRegular(resolved, O_RDONLY, 0, fd, failure)) {
    if (failure.error == ENOENT) return std::nullopt;  // removed since
    Raise("Cannot read", path, failure);
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      Raise("Cannot read", path, FromErrno());
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

bool AppendToFile(const fs::path& path, std::string_view bytes, fs::perms mode, std::string* why) {
  Resolved resolved;
  Failure failure;
  Descriptor fd(-1);
  if (!ResolveRegular(path, resolved, failure) ||
      !OpenRegular(resolved, O_WRONLY | O_APPEND | O_CREAT, static_cast<mode_t>(mode), fd, failure)) {
    return Refuse(why, path, failure);
  }
  if (!WriteAll(fd.Get(), bytes) || !fd.Close()) return Refuse(why, path, FromErrno());
  return true;
}

bool CopyFileAs(const fs::path& from, const fs::path& to, fs::perms mode, std::string* why) {
  Resolved source;
  Resolved target;
  Failure failure;
  Descriptor in(-1);
  Descriptor out(-1);
  if (!ResolveRegular(from, source, failure) || !OpenRegular(source, O_RDONLY, 0, in, failure)) {
    return Refuse(why, from, failure);
  }
  if (!ResolveRegular(to, target, failure) ||
      !OpenRegular(target, O_WRONLY | O_CREAT, static_cast<mode_t>(mode), out, failure)) {
    return Refuse(why, to, failure);
  }
  // Truncated only once it is known to be a regular file.
  if (::ftruncate(out.Get(), 0) != 0 || ::fchmod(out.Get(), static_cast<mode_t>(mode) & ~ProcessUmask()) != 0) {
    return Refuse(why, to, FromErrno());
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Refuse(why, from, FromErrno());
    if (n == 0) break;
    if (!WriteAll(out.Get(), std::string_view(buffer, static_cast<size_t>(n)))) return Refuse(why, to, FromErrno());
  }
  if (!out.Close()) return Refuse(why, to, FromErrno());
  return true;
}

void ReplaceWholeFile(const fs::path& path, std::string_view bytes, fs::perms new_mode) {
  Resolved target;
  Failure failure;
  if (!ResolveRegular(path, target, failure)) Raise("Cannot replace", path, failure);
  fs::path dir = target.path.parent_path();
  if (dir.empty()) dir = ".";

  std::string temp =
      (dir / (std::string(kTemporaryPrefix) + target.path.filename().string() + std::string(kTemporarySuffix)))
          .string();
  Descriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.Valid()) Raise("Cannot create a file beside", path, FromErrno());

  if (target.found) {
    // The owner first: a change of owner clears the set-id bits of the mode.
    if (::fchown(fd.Get(), target.st.st_uid, target.st.st_gid) != 0 &&
        ::fchown(fd.Get(), static_cast<uid_t>(-1), target.st.st_gid) != 0) {
      // Not ours to give away: the file then belongs to whoever rewrote it.
    }
    ::fchmod(fd.Get(), target.st.st_mode & 07777);
  } else {
    ::fchmod(fd.Get(), static_cast<mode_t>(new_mode) & ~ProcessUmask());
  }

  const bool written = WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0;
  const Failure write_failure = FromErrno();
  if (!fd.Close() || !written) {
    const Failure reported = written ? FromErrno() : write_failure;
    ::unlink(temp.c_str());
    Raise("Cannot write", path, reported);
  }
  // rename() replaces the name itself, never what a link there leads to.
  if (::rename(temp.c_str(), target.path.c_str()) != 0) {
    const Failure reported = FromErrno();
    ::unlink(temp.c_str());
    Raise("Cannot replace", path, reported);
  }
  // Make the rename itself durable.
  const Descriptor dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.Valid()) ::fsync(dir_fd.Get());
}

fs::path FollowTrustedLinks(const fs::path& path) {
  Resolved resolved;
  Failure failure;
  if (!Resolve(path, resolved, failure)) Raise("Cannot use", path, failure);
  return resolved.path;
}

}  // namespace vltg::platform
