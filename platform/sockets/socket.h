#pragma once
// An IPv4 BSD socket that behaves as a WinSock 1.1 socket: a failing call
// returns -1 and leaves a WinSock error code in LastSocketError(), sends never
// raise SIGPIPE, and once notices are selected the socket is non-blocking and
// its readiness becomes notices handed to the selecting thread's pump, with the
// one-shot and re-enable rules of window-message notification:
//  - connect: once, when a connect completes (with the error when it failed;
//    nothing follows a failed connect);
//  - write: once after the connect, then only after a send met a full buffer
//    (refused with WSAEWOULDBLOCK, or taken in part);
//  - read: once, then not again until the next receive call;
//  - close: once, when the peer closed or reset and no received data is left;
//  - accept: once, then not again until the next accept call.
// Notices raised together come in that order. They are aimed at this object,
// not at the descriptor number, and those not yet handled are dropped when it
// closes, so a new socket that gets the old number never sees them.
//
// A socket with notices belongs to the thread that selected them: that thread
// handles them, and closes and destroys the socket.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

#include "platform/messages/message_queue.h"

namespace vltg::platform {

enum SocketEvent : uint16_t {
  kFdRead = 0x01,
  kFdWrite = 0x02,
  kFdOob = 0x04,
  kFdAccept = 0x08,
  kFdConnect = 0x10,
  kFdClose = 0x20,
};

// An IPv4 endpoint; both parts in network byte order.
struct SocketAddress {
  uint32_t address = 0;
  uint16_t port = 0;
};

enum class SocketKind { kStream, kDatagram };

// The WinSock code of the calling thread's last failed socket call.
int LastSocketError();

// Process start-up of the socket layer: SIGPIPE is ignored from here on, so a
// write to a closed peer anywhere in the process is an error, not an exit.
bool SocketStartup();

class Socket : private PollSource {
 public:
  // event: one SocketEvent; error: a WinSock code, 0 when none.
  using NoticeHandler = std::function<void(uint16_t event, int error)>;

  // A new blocking socket; nullptr with LastSocketError() set on failure.
  static std::unique_ptr<Socket> Create(SocketKind kind);
  ~Socket() override;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  SocketKind Kind() const { return kind_; }
  // The descriptor; -1 once closed.
  int Handle() const { return fd_; }

  // Selects the notices in `mask` for `handler`, run on the calling thread
  // while it pumps; a non-zero mask makes the socket non-blocking. Mask 0
  // stops notices and drops those not yet handled.
  void Select(uint16_t mask, NoticeHandler handler);
  // Blocking mode on or off (notices need it off).
  int SetBlocking(bool blocking);

  // 0 when connected. Non-blocking: -1 with WSAEWOULDBLOCK, and the outcome,
  // success or error, comes as the connect notice.
  int Connect(const SocketAddress& to);
  // Lets a listener bind a port that connections of an earlier one still hold.
  int SetReuseAddress(bool on);
  int Bind(const SocketAddress& at);
  int Listen(int backlog);
  // The accepted connection (blocking, no notices), or nullptr.
  std::unique_ptr<Socket> Accept(SocketAddress* peer);
  // Bytes taken, or -1.
  ssize_t Send(std::string_view data);
  ssize_t SendTo(std::string_view data, const SocketAddress& to);
  // Bytes read (0: the peer closed), or -1.
  ssize_t Recv(char* buffer, size_t size);
  ssize_t RecvFrom(char* buffer, size_t size, SocketAddress* from);
  // Waits up to `real_ms` real milliseconds (-1: no limit) for something to
  // read: 1 readable, 0 not yet, -1 error.
  int WaitReadable(int real_ms);
  // Closes now; 0 or -1. No notice comes after it.
  int Close();

 private:
  Socket(int fd, SocketKind kind);
  void CollectFds(std::vector<pollfd>& fds) override;
  void OnReady(const pollfd* fds, size_t count) override;
  void Notify(uint16_t event, int error);
  void StopNotices();

  int fd_ = -1;
  SocketKind kind_;
  uint16_t mask_ = 0;
  NoticeHandler handler_;
  std::unique_ptr<MessageTarget> notices_;  // queued notices die with it
  bool registered_ = false;
  std::thread::id owner_;

  bool connecting_ = false;
  int connect_error_ = 0;  // a failure found before the connect could start
  bool connected_ = false;
  bool listening_ = false;
  bool finished_ = false;  // connect failed or close notified: nothing more comes
  bool read_armed_ = true;
  bool write_armed_ = true;
  bool accept_armed_ = true;
};

}  // namespace vltg::platform
