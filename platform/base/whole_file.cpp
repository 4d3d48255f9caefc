#include "platform/base/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace vltg::platform {

namespace {

std::string ErrorText(const std::string& what, const std::filesystem::path& path, int error) {
  return what + " " + path.string() + ": " + std::strerror(error);
}

// Fails with "<path>: <reason>" in `why`, when asked for.
bool Failed(std::string* why, const std::filesystem::path& path, int error) {
  if (why) *why = path.string() + ": " + std::strerror(error);
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

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool AppendToFile(const std::filesystem::path& path, std::string_view bytes, std::filesystem::perms mode,
                  std::string* why) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return Failed(why, path, errno);
  const bool written = WriteAll(fd, bytes);
  const int error = errno;
  if (::close(fd) != 0) return Failed(why, path, errno);
  return written || Failed(why, path, error);
}

bool CopyFileAs(const std::filesystem::path& from, const std::filesystem::path& to, std::filesystem::perms mode,
                std::string* why) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Failed(why, from, errno);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode));
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return Failed(why, to, error);
  }
  // The file at fault and the reason, at the first failure.
  const std::filesystem::path* fault = nullptr;
  int error = 0;
  const auto fail = [&](const std::filesystem::path& path) {
    fault = &path;
    error = errno;
  };
  if (::fchmod(out, static_cast<mode_t>(mode) & ~ProcessUmask()) != 0) fail(to);
  char buffer[65536];
  while (!fault) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(from);
    if (n <= 0) break;
    if (!WriteAll(out, std::string_view(buffer, static_cast<size_t>(n)))) fail(to);
  }
  ::close(in);
  if (::close(out) != 0 && !fault) fail(to);
  return !fault || Failed(why, *fault, error);
}

void ReplaceWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    const auto resolved = std::filesystem::canonical(target, ec);
    if (!ec) target = resolved;
  }
  std::filesystem::path dir = target.parent_path();
  if (dir.empty()) dir = ".";

  std::string temp =
      (dir / (std::string(kTemporaryPrefix) + target.filename().string() + std::string(kTemporarySuffix))).string();
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw EFileError(ErrorText("Cannot create a file beside", target, errno));

  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    ::fchmod(fd, old.st_mode & 07777);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not ours to give away: the file then belongs to whoever rewrote it.
    }
  } else {
    ::fchmod(fd, 0666 & ~ProcessUmask());
  }

  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const int write_error = errno;
  if (::close(fd) != 0 || !written) {
    ::unlink(temp.c_str());
    throw EFileError(ErrorText("Cannot write", target, written ? errno : write_error));
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    throw EFileError(ErrorText("Cannot replace", target, error));
  }
  // Make the rename itself durable.
  const int dir_fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);
    ::close(dir_fd);
  }
}

}  // namespace vltg::platform
