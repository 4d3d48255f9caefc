#include "tests/support/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "platform/base/machine_root.h"

namespace vltg::testing {

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    if (master_ >= 0) ::close(master_);
    throw std::runtime_error("cannot make a pseudo-terminal");
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    throw std::runtime_error("cannot name the pseudo-terminal");
  }
  slave_path_ = name;
}

PseudoTerminal::~PseudoTerminal() { CloseMaster(); }

void PseudoTerminal::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PseudoTerminal::Write(std::string_view bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!bytes.empty()) {
    const ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p{master_, POLLOUT, 0};
    poll(&p, 1, 10);
  }
  return true;
}

std::string PseudoTerminal::Read(size_t max, int window_ms) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(window_ms);
  char buffer[4096];
  while (out.size() < max && master_ >= 0) {
    const size_t want = std::min(sizeof buffer, max - out.size());
    const ssize_t n = ::read(master_, buffer, want);
    if (n > 0) {
      out.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN, or EIO while no slave is open: wait for more.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 10)));
  }
  return out;
}

void LinkComPort(int number, const std::string& target) {
  const std::filesystem::path devices = platform::MachineRoot() / "devices";
  std::filesystem::create_directories(devices);
  const auto link = devices / ("com" + std::to_string(number));
  std::filesystem::remove(link);
  std::filesystem::create_symlink(target, link);
}

}  // namespace vltg::testing
