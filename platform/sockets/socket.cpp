#include "platform/sockets/socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sockets/socket_errors.h"

namespace vltg::platform {
namespace {

constexpr uint32_t kNoticeMessage = 1;

thread_local int t_last_error = 0;

int Fail(int err) {
  t_last_error = WsaErrorFromErrno(err);
  return -1;
}

sockaddr_in ToSockaddr(const SocketAddress& address) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = address.port;
  sa.sin_addr.s_addr = address.address;
  return sa;
}

SocketAddress FromSockaddr(const sockaddr_in& sa) { return {sa.sin_addr.s_addr, sa.sin_port}; }

int PendingError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) err = errno;
  return WsaErrorFromErrno(err);
}

int BytesWaiting(int fd) {
  int count = 0;
  if (ioctl(fd, FIONREAD, &count) < 0) return 0;
  return count;
}

}  // namespace

int LastSocketError() { return t_last_error; }

bool SocketStartup() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  return sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

std::unique_ptr<Socket> Socket::Create(SocketKind kind) {
  const int type = kind == SocketKind::kStream ? SOCK_STREAM : SOCK_DGRAM;
  const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Fail(errno);
    return nullptr;
  }
  return std::unique_ptr<Socket>(new Socket(fd, kind));
}

Socket::Socket(int fd, SocketKind kind) : fd_(fd), kind_(kind) {}

Socket::~Socket() { Close(); }

void Socket::StopNotices() {
  if (registered_) {
    UnregisterPollSource(this);
    registered_ = false;
  }
  notices_.reset();
  mask_ = 0;
  handler_ = nullptr;
}

void Socket::Select(uint16_t mask, NoticeHandler handler) {
  if (mask == 0 || fd_ < 0) {
    StopNotices();
    return;
  }
  SetBlocking(false);
  mask_ = mask;
  handler_ = std::move(handler);
  if (!notices_ || owner_ != std::this_thread::get_id()) {
    if (registered_) UnregisterPollSource(this);
    registered_ = false;
    owner_ = std::this_thread::get_id();
    notices_ = std::make_unique<MessageTarget>([this](uint32_t, uintptr_t event, intptr_t error) -> intptr_t {
      // The handler may close or destroy this socket.
      auto handler = handler_;
      if (handler) handler(static_cast<uint16_t>(event), static_cast<int>(error));
      return 0;
    });
  }
  if (!registered_) {
    RegisterPollSource(this);
    registered_ = true;
  }
  // A new selection looks at the socket afresh.
  read_armed_ = write_armed_ = accept_armed_ = true;
}

int Socket::SetBlocking(bool blocking) {
  if (fd_ < 0) return Fail(EBADF);
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0) return Fail(errno);
  const int wanted = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
  if (wanted != flags && fcntl(fd_, F_SETFL, wanted) < 0) return Fail(errno);
  return 0;
}

int Socket::Connect(const SocketAddress& to) {
  if (fd_ < 0) return Fail(EBADF);
  const sockaddr_in sa = ToSockaddr(to);
  const bool nonblocking = (fcntl(fd_, F_GETFL) & O_NONBLOCK) != 0;
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
    // Even a connect that completes at once is told as a notice.
    if (nonblocking) {
      connecting_ = true;
      t_last_error = WSAEWOULDBLOCK;
      return -1;
    }
    connected_ = true;
    return 0;
  }
  const int err = errno;
  if (!nonblocking) return Fail(err);
  connecting_ = true;
  if (err != EINPROGRESS && err != EAGAIN && err != EINTR) connect_error_ = WsaErrorFromErrno(err);
  t_last_error = WSAEWOULDBLOCK;
  return -1;
}

int Socket::SetReuseAddress(bool on) {
  if (fd_ < 0) return Fail(EBADF);
  const int value = on ? 1 : 0;
  if (setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) < 0) return Fail(errno);
  return 0;
}

int Socket::Bind(const SocketAddress& at) {
  if (fd_ < 0) return Fail(EBADF);
  const sockaddr_in sa = ToSockaddr(at);
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0) return Fail(errno);
  return 0;
}

int Socket::Listen(int backlog) {
  if (fd_ < 0) return Fail(EBADF);
  if (listen(fd_, backlog) < 0) return Fail(errno);
  listening_ = true;
  accept_armed_ = true;
  return 0;
}

std::unique_ptr<Socket> Socket::Accept(SocketAddress* peer) {
  accept_armed_ = true;
  if (fd_ < 0) {
    Fail(EBADF);
    return nullptr;
  }
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const int fd = accept4(fd_, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
  if (fd < 0) {
    Fail(errno);
    return nullptr;
  }
  if (peer) *peer = FromSockaddr(sa);
  std::unique_ptr<Socket> accepted(new Socket(fd, SocketKind::kStream));
  accepted->connected_ = true;
  return accepted;
}

ssize_t Socket::Send(std::string_view data) {
  if (fd_ < 0) return Fail(EBADF);
  ssize_t n;
  do {
    n = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    if (errno == EAGAIN) write_armed_ = true;
    return Fail(errno);
  }
  // A short send met a full buffer as well: the rest waits for a write notice.
  if (static_cast<size_t>(n) < data.size()) write_armed_ = true;
  return n;
}

ssize_t Socket::SendTo(std::string_view data, const SocketAddress& to) {
  if (fd_ < 0) return Fail(EBADF);
  const sockaddr_in sa = ToSockaddr(to);
  const ssize_t n =
      sendto(fd_, data.data(), data.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  if (n < 0) {
    if (errno == EAGAIN) write_armed_ = true;
    return Fail(errno);
  }
  return n;
}

ssize_t Socket::Recv(char* buffer, size_t size) {
  read_armed_ = true;
  if (fd_ < 0) return Fail(EBADF);
  ssize_t n;
  do {
    n = recv(fd_, buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? Fail(errno) : n;
}

ssize_t Socket::RecvFrom(char* buffer, size_t size, SocketAddress* from) {
  read_armed_ = true;
  if (fd_ < 0) return Fail(EBADF);
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const ssize_t n = recvfrom(fd_, buffer, size, 0, reinterpret_cast<sockaddr*>(&sa), &len);
  if (n < 0) return Fail(errno);
  if (from) *from = FromSockaddr(sa);
  return n;
}

int Socket::WaitReadable(int real_ms) {
  if (fd_ < 0) return Fail(EBADF);
  pollfd fd{fd_, POLLIN, 0};
  int n;
  do {
    n = poll(&fd, 1, real_ms);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return Fail(errno);
  return n > 0 ? 1 : 0;
}

int Socket::Close() {
  StopNotices();
  if (fd_ < 0) return Fail(EBADF);
  const int rc = close(fd_);
  fd_ = -1;
  connecting_ = connected_ = listening_ = false;
  return rc < 0 ? Fail(errno) : 0;
}

void Socket::Notify(uint16_t event, int error) {
  if ((mask_ & event) && notices_) notices_->Post(kNoticeMessage, event, error);
}

// Only what is armed is watched: a descriptor that is ready but whose notice
// is still unanswered would otherwise wake the pump again and again.
void Socket::CollectFds(std::vector<pollfd>& fds) {
  if (fd_ < 0 || mask_ == 0 || finished_) return;
  short events = 0;
  if (connecting_) {
    events = POLLOUT;
  } else if (listening_) {
    if (accept_armed_ && (mask_ & kFdAccept)) events = POLLIN;
  } else if (kind_ == SocketKind::kDatagram) {
    if (read_armed_ && (mask_ & kFdRead)) events = POLLIN;
  } else if (connected_) {
    if (write_armed_ && (mask_ & kFdWrite)) events |= POLLOUT;
    if (mask_ & kFdRead) {
      // The close is looked for with the reads, so it comes after the data.
      if (read_armed_) events |= POLLIN | POLLRDHUP;
    } else if (mask_ & kFdClose) {
      events |= POLLRDHUP;
    }
  }
  if (events) fds.push_back({fd_, events, 0});
}

void Socket::OnReady(const pollfd* fds, size_t count) {
  if (count == 0 || fd_ < 0) return;
  const short revents = fds[0].revents;
  constexpr short kTrouble = POLLERR | POLLHUP;
  if (connecting_) {
    if (!(revents & (POLLOUT | kTrouble))) return;
    const int error = connect_error_ ? connect_error_ : PendingError(fd_);
    connecting_ = false;
    connect_error_ = 0;
    if (error) {
      finished_ = true;
      Notify(kFdConnect, error);
      return;
    }
    connected_ = true;
    Notify(kFdConnect, 0);
    if (write_armed_ && (mask_ & kFdWrite)) {
      write_armed_ = false;
      Notify(kFdWrite, 0);
    }
    return;
  }
  if (listening_) {
    if (accept_armed_ && revents) {
      accept_armed_ = false;
      Notify(kFdAccept, 0);
    }
    return;
  }
  if (kind_ == SocketKind::kDatagram) {
    if (read_armed_ && revents) {
      read_armed_ = false;
      Notify(kFdRead, 0);
    }
    return;
  }
  if (!connected_) return;
  if (write_armed_ && (mask_ & kFdWrite) && (revents & (POLLOUT | kTrouble))) {
    write_armed_ = false;
    Notify(kFdWrite, 0);
  }
  const bool watching_reads = (mask_ & kFdRead) && read_armed_;
  const bool watching_close = !(mask_ & kFdRead) && (mask_ & kFdClose);
  if (!(watching_reads || watching_close) || !(revents & (POLLIN | POLLRDHUP | kTrouble))) return;
  if (watching_reads && BytesWaiting(fd_) > 0) {
    read_armed_ = false;
    Notify(kFdRead, 0);
    return;
  }
  // Readable with nothing to read: the peer closed, or the connection broke.
  finished_ = true;
  Notify(kFdClose, PendingError(fd_));
}

}  // namespace vltg::platform
