#include "tests/support/peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace vltg::testing {
namespace {

constexpr int kEndLimitMs = 20000;               // for SIGTERM to end the group, before SIGKILL

void NoOp(int) {}

// The reaper, in the forked child: only async-signal-safe calls from here on.
// It holds the lifeline on 0 and the output on 1 and 2, starts the program
// with /dev/null (fd 3) as its input, and reaps every process of the group
// until none is left; the lifeline's end sends SIGTERM to the group.
[[noreturn]] void Reap(int lifeline, int output, int null, const char* path, char* const* argv) {
  setpgid(0, 0);
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  lifeline = fcntl(lifeline, F_DUPFD, 10);
  output = fcntl(output, F_DUPFD, 10);
  null = fcntl(null, F_DUPFD, 10);
  if (dup2(lifeline, 0) < 0 || dup2(output, 1) < 0 || dup2(output, 2) < 0 || dup2(null, 3) < 0) _exit(126);
  close_range(4, ~0U, 0);

  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigaction(SIGTERM, &action, nullptr);  // the group's SIGTERM is for the program
  action.sa_handler = NoOp;
  sigaction(SIGCHLD, &action, nullptr);  // interrupts the waits below
  sigset_t blocked, waiting;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGCHLD);
  sigprocmask(SIG_SETMASK, &blocked, &waiting);
  sigdelset(&waiting, SIGCHLD);

  const pid_t program = fork();
  if (program == 0) {
    action.sa_handler = SIG_DFL;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGCHLD, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    dup2(3, 0);
    close(3);
    execve(path, argv, environ);
    _exit(127);
  }
  bool ending = program < 0;
  if (ending) kill(0, SIGTERM);
  for (;;) {
    pid_t reaped;
    while ((reaped = waitpid(-1, nullptr, WNOHANG)) > 0) {
    }
    if (reaped < 0 && errno == ECHILD) _exit(0);
    pollfd life{0, POLLIN, 0};
    if (ppoll(&life, ending ? 0 : 1, nullptr, &waiting) > 0 && !ending) {
      ending = true;
      kill(0, SIGTERM);
    }
  }
}

bool ListeningOn(int port) {
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  char any[32];
  std::snprintf(any, sizeof any, "00000000:%04X", port);
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, address, remote, state;
    fields >> slot >> address >> remote >> state;
    if (state == "0A" && (address == local || address == any)) return true;
  }
  return false;
}

}  // namespace

PeerProcess::PeerProcess(const std::vector<std::string>& argv, const std::filesystem::path& output) {
  const std::string path = Locate(argv.at(0));
  if (path.empty()) throw std::runtime_error(argv[0] + " is not installed (scripts/setup installs it)");
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (auto& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int life[2];
  if (out < 0 || null < 0 || pipe2(life, O_CLOEXEC) != 0) throw std::runtime_error("cannot start " + argv[0]);
  reaper_ = fork();
  if (reaper_ == 0) Reap(life[0], out, null, path.c_str(), pointers.data());
  close(out);
  close(null);
  close(life[0]);
  lifeline_ = life[1];
  if (reaper_ < 0) {
    close(lifeline_);
    throw std::runtime_error("cannot fork for " + argv[0]);
  }
  setpgid(reaper_, reaper_);  // also here, so the group exists before anyone signals it
  // glibc 2.36's <sys/pidfd.h> lacks extern "C", so the call goes straight to the kernel.
  pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, reaper_, 0));
}

PeerProcess::~PeerProcess() {
  close(lifeline_);
  pollfd ended{pidfd_, POLLIN, 0};
  while (poll(&ended, 1, kEndLimitMs) < 0 && errno == EINTR) {
  }
  if (ended.revents == 0) kill(-reaper_, SIGKILL);
  while (waitpid(reaper_, nullptr, 0) < 0 && errno == EINTR) {
  }
  close(pidfd_);
}

bool PeerProcess::Running() const {
  pollfd ended{pidfd_, POLLIN, 0};
  return poll(&ended, 1, 0) == 0;
}

bool PeerProcess::WaitListening(int port, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!ListeningOn(port)) {
    if (std::chrono::steady_clock::now() > end) return false;
    pollfd ended{pidfd_, POLLIN, 0};
    if (poll(&ended, 1, 5) != 0) return false;  // looks again every 5 ms, at once when it ended
  }
  return true;
}

std::string PeerProcess::Locate(const std::string& program) {
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0 ? program : "";
  const char* path = std::getenv("PATH");
  std::istringstream dirs(std::string(path ? path : "") + ":/usr/sbin:/sbin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

}  // namespace vltg::testing
