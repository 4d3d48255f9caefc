#include "platform/service/service_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace vltg::platform {
namespace fs = std::filesystem;
namespace {

// A socket address for the path. A path too long for sun_path is reached
// through the directory's descriptor ("/proc/self/fd/N/name"), which stays
// open as long as this object.
class UnixAddress {
 public:
  explicit UnixAddress(const fs::path& path) {
    std::string target = path.string();
    if (target.size() >= sizeof addr_.sun_path) {
      dir_fd_ = ::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (dir_fd_ < 0) return;
      target = "/proc/self/fd/" + std::to_string(dir_fd_) + "/" + path.filename().string();
      if (target.size() >= sizeof addr_.sun_path) {
        errno = ENAMETOOLONG;
        return;
      }
    }
    addr_.sun_family = AF_UNIX;
    std::memcpy(addr_.sun_path, target.c_str(), target.size() + 1);
    valid_ = true;
  }
  ~UnixAddress() {
    if (dir_fd_ >= 0) ::close(dir_fd_);
  }
  UnixAddress(const UnixAddress&) = delete;
  UnixAddress& operator=(const UnixAddress&) = delete;

  bool Valid() const { return valid_; }
  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&addr_); }
  socklen_t Size() const { return sizeof addr_; }

 private:
  sockaddr_un addr_{};
  int dir_fd_ = -1;
  bool valid_ = false;
};

using Steady = std::chrono::steady_clock;

int RemainingMs(Steady::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for the event; false on time-out or error.
bool WaitFor(int fd, short events, Steady::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, RemainingMs(deadline));
    if (rc < 0 && errno == EINTR) continue;
    return rc > 0;
  }
}

bool SendAll(int fd, const std::string& bytes, Steady::time_point deadline) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLOUT, deadline)) continue;
    return false;
  }
  return true;
}

enum class LineResult { kLine, kTimeout, kClosed, kTooLong, kError };

// Reads up to and including the first "\n".
LineResult ReadLine(int fd, Steady::time_point deadline, std::string& line) {
  line.clear();
  for (;;) {
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
    if (n == 1) {
      line += c;
      if (c == '\n') return LineResult::kLine;
      if (line.size() > kMaxChannelLine + 1) return LineResult::kTooLong;
      continue;
    }
    if (n == 0) return LineResult::kClosed;
    if (errno == EINTR) continue;
    if (errno == ECONNRESET) return LineResult::kClosed;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return LineResult::kError;
    if (!WaitFor(fd, POLLIN, deadline)) return LineResult::kTimeout;
  }
}

}  // namespace

int ListenChannel(const fs::path& path) {
  UnixAddress address(path);
  if (!address.Valid()) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::bind(fd, address.Get(), address.Size()) != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 16) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

int ConnectChannel(const fs::path& path) {
  UnixAddress address(path);
  if (!address.Valid()) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  // A Unix stream connect completes at once (it lands in the backlog) or fails.
  if (::connect(fd, address.Get(), address.Size()) != 0) {
    const int error = errno == EAGAIN ? ECONNREFUSED : errno;  // backlog full: nobody is accepting
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

ChannelOutcome SendChannelRequest(int fd, const ChannelRequest& request, int timeout_ms, int& error) {
  if (SendAll(fd, FormatChannelRequest(request), Steady::now() + std::chrono::milliseconds(timeout_ms))) {
    return ChannelOutcome::kReply;
  }
  error = errno;
  return (errno == EPIPE || errno == ECONNRESET) ? ChannelOutcome::kClosed : ChannelOutcome::kFailed;
}

ChannelOutcome ExchangeOnChannel(int fd, const ChannelRequest& request, int timeout_ms, ChannelReply& reply,
                                 int& error) {
  const ChannelOutcome sent = SendChannelRequest(fd, request, timeout_ms, error);
  if (sent != ChannelOutcome::kReply) return sent;
  return ReadChannelReply(fd, timeout_ms, reply, error);
}

ChannelOutcome ReadChannelReply(int fd, int timeout_ms, ChannelReply& reply, int& error) {
  const auto deadline = Steady::now() + std::chrono::milliseconds(timeout_ms);
  std::string line;
  switch (ReadLine(fd, deadline, line)) {
    case LineResult::kLine:
      break;
    case LineResult::kTimeout:
      return ChannelOutcome::kNoAnswer;
    case LineResult::kClosed:
      return ChannelOutcome::kClosed;
    case LineResult::kTooLong:
      error = EPROTO;
      return ChannelOutcome::kFailed;
    case LineResult::kError:
      error = errno;
      return ChannelOutcome::kFailed;
  }
  const auto parsed = ParseChannelReply(line);
  if (!parsed) {
    error = EPROTO;
    return ChannelOutcome::kFailed;
  }
  reply = *parsed;
  return ChannelOutcome::kReply;
}

ChannelOutcome AskChannel(const fs::path& path, const ChannelRequest& request, int timeout_ms, ChannelReply& reply,
                          int& error) {
  const int fd = ConnectChannel(path);
  if (fd < 0) {
    error = errno;
    return (errno == ENOENT || errno == ECONNREFUSED) ? ChannelOutcome::kNotListening : ChannelOutcome::kFailed;
  }
  const ChannelOutcome outcome = ExchangeOnChannel(fd, request, timeout_ms, reply, error);
  ::close(fd);
  return outcome;
}

std::optional<ChannelRequest> ReadChannelRequest(int fd, int timeout_ms) {
  std::string line;
  if (ReadLine(fd, Steady::now() + std::chrono::milliseconds(timeout_ms), line) != LineResult::kLine) {
    return std::nullopt;
  }
  return ParseChannelRequest(line);
}

void WriteChannelReply(int fd, const ChannelReply& reply, int timeout_ms) {
  SendAll(fd, FormatChannelReply(reply), Steady::now() + std::chrono::milliseconds(timeout_ms));
}

}  // namespace vltg::platform
