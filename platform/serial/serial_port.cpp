// The kernel's termios2 interface (not glibc's <termios.h>, whose struct
// clashes with it): BOTHER is the only way to set 14400 or 56000.
#include "platform/serial/serial_port.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/serial/com_port_map.h"
#include "platform/serial/serial_line_flags.h"

namespace vltg::platform {
namespace {

// How often a write held back by flow control asks whether to give up.
constexpr int kWriteStopCheckMs = 10;

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  return false;
}

bool SerialPort::Open(const std::string& name) {
  Close();
  path_ = ResolveComPort(name);
  const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail("open " + path_);
  // The lock refuses a second opener even where TIOCEXCL does not (root);
  // TIOCEXCL also keeps out programs that do not take the lock.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    errno = saved;
    return Fail("open " + path_);
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return Fail("open " + path_ + " (not a serial device)");
  }
  fd_ = fd;
  adopted_ = false;
  Started();
  return true;
}

bool SerialPort::Adopt(int fd) {
  Close();
  if (fd < 0) {
    error_ = "adopt: no descriptor";
    return false;
  }
  char path[PATH_MAX];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
  path_ = n > 0 ? std::string(path, static_cast<size_t>(n)) : "descriptor " + std::to_string(fd);
  fd_ = fd;
  adopted_ = true;
  Started();
  return true;
}

void SerialPort::Started() {
  error_.clear();
  stop_requested_.store(false);
  event_counters_ = ReadCounters();
  error_counters_ = event_counters_;
  event_lines_ = ReadModemLines();
  received_since_events_ = false;
  sent_since_events_ = false;
  waiting_at_events_ = 0;
}

void SerialPort::Close() {
  if (fd_ < 0) return;
  if (!adopted_) ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

bool SerialPort::Apply(const SerialSettings& s) {
  if (fd_ < 0) {
    error_ = "apply: port not open";
    return false;
  }
  struct termios2 t;
  if (ioctl(fd_, TCGETS2, &t) != 0) return Fail("apply " + path_);
  SerialLineFlags f{t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag, t.c_ispeed, t.c_ospeed,
                    t.c_cc[VMIN], t.c_cc[VTIME], t.c_cc[VSTART], t.c_cc[VSTOP]};
  if (!MakeLineFlags(s, f)) {
    error_ = "apply: unsupported settings";
    return false;
  }
  t.c_iflag = f.iflag;
  t.c_oflag = f.oflag;
  t.c_cflag = f.cflag;
  t.c_lflag = f.lflag;
  t.c_ispeed = f.ispeed;
  t.c_ospeed = f.ospeed;
  t.c_cc[VMIN] = f.vmin;
  t.c_cc[VTIME] = f.vtime;
  t.c_cc[VSTART] = f.vstart;
  t.c_cc[VSTOP] = f.vstop;
  if (ioctl(fd_, TCSETS2, &t) != 0) return Fail("apply " + path_);

  SetDtr(true);
  if (!s.rts_cts) SetRts(false);
  return true;
}

long SerialPort::Read(void* buffer, size_t max, int window_ms) {
  if (fd_ < 0) {
    error_ = "read: port not open";
    return -1;
  }
  auto* out = static_cast<char*>(buffer);
  const int64_t deadline = NowUs() + int64_t{window_ms > 0 ? window_ms : 0} * 1000;
  size_t got = 0;
  // What came before a failure is still handed back; the next read fails.
  auto failed = [&] {
    Fail("read " + path_);
    return got ? static_cast<long>(got) : -1L;
  };
  bool hung_up = false;
  while (got < max) {
    // With VMIN and VTIME 0 an empty read returns 0, not EAGAIN.
    const ssize_t n = ::read(fd_, out + got, max - got);
    if (n > 0) {
      got += static_cast<size_t>(n);
      received_since_events_ = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return failed();
    if (hung_up) {  // the line reported a hang-up and still gives nothing
      errno = EIO;
      return failed();
    }
    const int64_t left_us = deadline - NowUs();
    if (left_us <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    const timespec wait{static_cast<time_t>(left_us / 1000000), static_cast<long>(left_us % 1000000) * 1000};
    if (ppoll(&p, 1, &wait, nullptr) < 0 && errno != EINTR) return failed();
    hung_up = (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
  return static_cast<long>(got);
}

size_t SerialPort::Write(const void* data, size_t size, const std::function<bool()>& stop) {
  if (fd_ < 0) {
    error_ = "write: port not open";
    return 0;
  }
  const auto* in = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    if (stop_requested_.load() || (stop && stop())) {
      error_ = "write " + path_ + ": stopped";
      break;
    }
    const ssize_t n = ::write(fd_, in + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      sent_since_events_ = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      Fail("write " + path_);
      break;
    }
    // No room: the driver's queue is full or the peer holds us (CTS, XOFF).
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, kWriteStopCheckMs) < 0 && errno != EINTR) {
      Fail("write " + path_);
      break;
    }
    if (p.revents & (POLLERR | POLLNVAL)) {
      errno = EIO;
      Fail("write " + path_);
      break;
    }
  }
  return done;
}

size_t SerialPort::BytesWaiting() const {
  int count = 0;
  if (fd_ < 0 || ioctl(fd_, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<size_t>(count);
}

bool SerialPort::HungUp() const {
  if (fd_ < 0) return false;
  int count = 0;
  if (ioctl(fd_, FIONREAD, &count) != 0) return true;
  if (count > 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

size_t SerialPort::BytesUnsent() const {
  int count = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &count) != 0 || count < 0) return 0;
  return static_cast<size_t>(count);
}

bool SerialPort::Purge(SerialPurge what) {
  if (fd_ < 0) return false;
  const int queue = what == SerialPurge::kInput ? TCIFLUSH : what == SerialPurge::kOutput ? TCOFLUSH : TCIOFLUSH;
  if (ioctl(fd_, TCFLSH, queue) != 0) return Fail("purge " + path_);
  return true;
}

bool SerialPort::SetDtr(bool on) {
  int bits = TIOCM_DTR;
  return fd_ >= 0 && ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialPort::SetRts(bool on) {
  int bits = TIOCM_RTS;
  return fd_ >= 0 && ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

std::optional<ModemLines> SerialPort::ReadModemLines() const {
  int bits = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCMGET, &bits) != 0) return std::nullopt;
  return ModemLines{(bits & TIOCM_CTS) != 0, (bits & TIOCM_DSR) != 0, (bits & TIOCM_RNG) != 0,
                    (bits & TIOCM_CAR) != 0};
}

std::optional<SerialPort::Counters> SerialPort::ReadCounters() const {
  serial_icounter_struct c{};
  if (fd_ < 0 || ioctl(fd_, TIOCGICOUNT, &c) != 0) return std::nullopt;
  return Counters{c.cts, c.dsr, c.rng, c.dcd, c.rx, c.tx, c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
}

uint32_t SerialPort::TakeEvents() {
  if (fd_ < 0) return 0;
  uint32_t events = 0;
  const auto counters = ReadCounters();
  if (counters && event_counters_) {
    const Counters& was = *event_counters_;
    if (counters->cts != was.cts) events |= kEvCts;
    if (counters->dsr != was.dsr) events |= kEvDsr;
    if (counters->rng != was.rng) events |= kEvRing;
    if (counters->dcd != was.dcd) events |= kEvRlsd;
    if (counters->brk != was.brk) events |= kEvBreak;
    if (counters->frame != was.frame || counters->overrun != was.overrun || counters->parity != was.parity ||
        counters->buf_overrun != was.buf_overrun) {
      events |= kEvErr;
    }
    if (counters->rx != was.rx) events |= kEvRxChar;
    if (counters->tx != was.tx) sent_since_events_ = true;
  } else {
    const auto lines = ReadModemLines();
    if (lines && event_lines_) {
      if (lines->cts != event_lines_->cts) events |= kEvCts;
      if (lines->dsr != event_lines_->dsr) events |= kEvDsr;
      if (lines->ring != event_lines_->ring) events |= kEvRing;
      if (lines->dcd != event_lines_->dcd) events |= kEvRlsd;
    }
    event_lines_ = lines;
  }
  event_counters_ = counters;

  const size_t waiting = BytesWaiting();
  if (received_since_events_ || waiting > waiting_at_events_) events |= kEvRxChar;
  received_since_events_ = false;
  waiting_at_events_ = waiting;
  // Sent data counts once the output queue has drained.
  if (sent_since_events_ && BytesUnsent() == 0) {
    events |= kEvTxEmpty;
    sent_since_events_ = false;
  }
  return events;
}

uint32_t SerialPort::TakeErrors() {
  const auto counters = ReadCounters();
  uint32_t errors = 0;
  if (counters && error_counters_) {
    const Counters& was = *error_counters_;
    if (counters->buf_overrun != was.buf_overrun) errors |= kCeRxOver;
    if (counters->overrun != was.overrun) errors |= kCeOverrun;
    if (counters->parity != was.parity) errors |= kCeRxParity;
    if (counters->frame != was.frame) errors |= kCeFrame;
    if (counters->brk != was.brk) errors |= kCeBreak;
  }
  error_counters_ = counters;
  return errors;
}

}  // namespace vltg::platform
