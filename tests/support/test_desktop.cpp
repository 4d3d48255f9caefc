#include "tests/support/test_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/run_program.h"

extern char** environ;

namespace vltg::testing {

namespace {

constexpr int kDisplayFd = 3;
// The X server names its display within this, however loaded the machine.
constexpr std::chrono::seconds kServerStart{60};

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t from = 0; from <= dirs.size();) {
    std::size_t to = dirs.find(':', from);
    if (to == std::string::npos) to = dirs.size();
    const std::filesystem::path candidate = std::filesystem::path(dirs.substr(from, to - from)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    from = to + 1;
  }
  return false;
}

// Reads the display number the server writes once it accepts clients.
std::string ReadDisplay(int fd) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + kServerStart;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return "";
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return "";
    char buffer[32];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return "";  // the server ended
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return ":" + text.substr(0, text.find('\n'));
}

}  // namespace

std::string TestDesktop::MissingProgram() {
  for (const char* program : {"Xvfb", "openbox", "trayer", "xprop"}) {
    if (!OnPath(program)) return program;
  }
  return "";
}

TestDesktop::TestDesktop(const std::filesystem::path& logs) {
  int display_pipe[2];
  if (::pipe2(display_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  Spawn({"Xvfb", "-displayfd", std::to_string(kDisplayFd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        logs / "xvfb.log", display_pipe[1]);
  ::close(display_pipe[1]);
  display_ = ReadDisplay(display_pipe[0]);
  ::close(display_pipe[0]);
  if (display_.empty()) {
    Stop();
    throw std::runtime_error("the X server did not start; see " + (logs / "xvfb.log").string());
  }
  // The notification area starts once the window manager manages the screen.
  Spawn({"openbox", "--sm-disable", "--startup",
         "trayer --edge bottom --align right --widthtype request --height 32"},
        logs / "openbox.log");
}

TestDesktop::~TestDesktop() { Stop(); }

void TestDesktop::Stop() {
  // The clients first: they end on their own once the server has gone, but
  // may complain about it.
  for (auto pid = pids_.rbegin(); pid != pids_.rend(); ++pid) {
    ::kill(*pid, SIGTERM);
    while (::waitpid(*pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  pids_.clear();
}

std::string TestDesktop::WindowState(unsigned long window) const {
  const ProgramResult state =
      RunProgram("/usr/bin/env", {"xprop", "-display", display_, "-id", std::to_string(window), "WM_STATE"});
  const std::string key = "window state: ";
  const std::size_t at = state.out.find(key);
  if (at == std::string::npos) return "";
  const std::size_t from = at + key.size();
  return state.out.substr(from, state.out.find('\n', from) - from);
}

int TestDesktop::Spawn(const std::vector<std::string>& argv, const std::filesystem::path& log, int pass_fd) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string_view(*entry).substr(0, 8) != "DISPLAY=") environment.emplace_back(*entry);
  }
  if (!display_.empty()) environment.push_back("DISPLAY=" + display_);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (pass_fd >= 0) posix_spawn_file_actions_adddup2(&actions, pass_fd, kDisplayFd);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
  pids_.push_back(pid);
  return pid;
}

}  // namespace vltg::testing
