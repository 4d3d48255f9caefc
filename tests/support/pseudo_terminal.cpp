#include "tests/support/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/base/machine_root.h"

namespace vltg::testing {
namespace {

namespace fs = std::filesystem;

// The COM links made here. A terminal that goes away takes them with it: a
// link left naming a freed pseudo-terminal would name the next one the
// system hands out, perhaps another test's (in this process or any other),
// which code under test trying its port again would then open and hold.
std::mutex links_mutex;
std::vector<fs::path> links;

// Replaces `link` in one step: no moment without it, when COMn would fall
// back to the machine's own /dev/ttyS(n-1).
void PointLink(const fs::path& link, const fs::path& target) {
  const fs::path fresh = link.string() + ".new";
  fs::remove(fresh);
  fs::create_symlink(target, fresh);
  fs::rename(fresh, link);
}

void UnlinkTerminal(const std::string& slave_path) {
  std::lock_guard lock(links_mutex);
  std::erase_if(links, [&](const fs::path& link) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    if (error) return true;  // gone with its test's directory
    if (target != slave_path) return false;
    PointLink(link, "/nonexistent/closed-pseudo-terminal");
    return true;
  });
}

}  // namespace

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
  if (master_ < 0) return;
  UnlinkTerminal(slave_path_);
  ::close(master_);
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
  const fs::path devices = platform::MachineRoot() / "devices";
  fs::create_directories(devices);
  const fs::path link = devices / ("com" + std::to_string(number));
  std::lock_guard lock(links_mutex);
  PointLink(link, target);
  if (std::find(links.begin(), links.end(), link) == links.end()) links.push_back(link);
}

}  // namespace vltg::testing
