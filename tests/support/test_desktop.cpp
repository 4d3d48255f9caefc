#include "tests/support/test_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "tests/support/run_program.h"

extern char** environ;

namespace vltg::testing {

namespace {

constexpr int kDisplayFd = 3;  // where Xvfb writes its display number

// The display number, once the server accepts clients; 60 s at the most for
// each read, however loaded the machine.
std::string ReadDisplay(int fd) {
  std::string text;
  for (pollfd ready{fd, POLLIN, 0}; text.find('\n') == std::string::npos;) {
    const int polled = ::poll(&ready, 1, 60000);
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
  const std::string missing =
      RunProgram("/bin/sh", {"-c", "for p in Xvfb openbox trayer xprop; do command -v $p >/dev/null || echo $p; done"})
          .out;
  return missing.substr(0, missing.find('\n'));
}

TestDesktop::TestDesktop(const std::filesystem::path& logs) {
  int display_pipe[2];
  if (::pipe2(display_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  Spawn({"Xvfb", "-displayfd", std::to_string(kDisplayFd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        logs / "xvfb.log", display_pipe[1]);
  ::close(display_pipe[1]);
  const std::string display = ReadDisplay(display_pipe[0]);
  ::close(display_pipe[0]);
  if (display.empty()) {
    Stop();
    throw std::runtime_error("the X server did not start; see " + (logs / "xvfb.log").string());
  }
  display_.emplace("DISPLAY", display);
  // The notification area starts once the window manager manages the screen.
  Spawn({"openbox", "--sm-disable", "--startup", "trayer --edge bottom --align right --widthtype request"},
        logs / "openbox.log");
}

TestDesktop::~TestDesktop() { Stop(); }

void TestDesktop::Stop() {
  for (auto pid = pids_.rbegin(); pid != pids_.rend(); ++pid) {
    ::kill(*pid, SIGTERM);
    while (::waitpid(*pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  pids_.clear();
}

std::string TestDesktop::WindowState(unsigned long window) const {
  const std::string out = RunProgram("/usr/bin/env", {"xprop", "-id", std::to_string(window), "WM_STATE"}).out;
  const std::string key = "window state: ";
  const std::size_t from = out.find(key);
  return from == std::string::npos ? "" : out.substr(from + key.size(), out.find('\n', from) - from - key.size());
}

std::vector<std::string> TestDesktop::Property(unsigned long window, const std::string& name) const {
  const std::string out = RunProgram("/usr/bin/env", {"xprop", "-id", std::to_string(window), name}).out;
  const std::size_t equals = out.find(") = ");
  std::vector<std::string> values;
  if (equals == std::string::npos) return values;
  std::string rest = out.substr(equals + 4, out.find('\n', equals) - equals - 4);
  for (std::size_t comma; (comma = rest.find(", ")) != std::string::npos; rest.erase(0, comma + 2))
    values.push_back(rest.substr(0, comma));
  if (!rest.empty()) values.push_back(rest);
  return values;
}

void TestDesktop::Spawn(std::vector<std::string> argv, const std::filesystem::path& log, int display_fd) {
  std::vector<char*> args;
  for (auto& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (display_fd >= 0) posix_spawn_file_actions_adddup2(&actions, display_fd, kDisplayFd);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  pids_.push_back(pid);
}

}  // namespace vltg::testing
