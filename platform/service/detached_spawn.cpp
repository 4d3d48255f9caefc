#include "platform/service/detached_spawn.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace vltg::platform {
namespace {

// Reports from the children to the caller through a close-on-exec pipe: the
// grandchild's pid, or the errno of a failed step. End of file without an
// error means the exec succeeded.
struct SpawnReport {
  char kind;  // 'P' pid, 'E' error
  int value;
};

void Report(int fd, char kind, int value) {
  const SpawnReport report{kind, value};
  ssize_t n;
  do {
    n = ::write(fd, &report, sizeof report);
  } while (n < 0 && errno == EINTR);
}

// Keeps a descriptor clear of the numbers 0 to 9 that the child rearranges.
int Lift(int fd) { return fd < 0 ? fd : ::fcntl(fd, F_DUPFD_CLOEXEC, 10); }

// Marks every descriptor from `first` close-on-exec (only async-signal-safe
// calls: this runs between fork and exec).
void CloseOnExecFrom(int first, int limit) {
#ifdef SYS_close_range
  if (::syscall(SYS_close_range, static_cast<unsigned>(first), ~0U, 4 /* CLOSE_RANGE_CLOEXEC */) == 0) return;
#endif
  for (int fd = first; fd < limit; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

[[noreturn]] void RunGrandchild(const DetachedSpawn& spawn, int report_fd, int devnull, int inherited,
                                char* const* argv, char* const* envp, int fd_limit) {
  ::dup2(devnull, 0);
  ::dup2(devnull, 1);
  ::dup2(devnull, 2);
  if (inherited >= 0) ::dup2(inherited, spawn.inherited_as);
  CloseOnExecFrom(inherited >= 0 ? spawn.inherited_as + 1 : 3, fd_limit);
  // A fresh program starts with default signal handling and nothing blocked,
  // whatever the starter had set.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) {
    if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &default_action, nullptr);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (spawn.account.switch_user) {
    if (::setgroups(spawn.account.groups.size(), spawn.account.groups.data()) != 0 ||
        ::setgid(spawn.account.gid) != 0 || ::setuid(spawn.account.uid) != 0) {
      Report(report_fd, 'E', errno);
      ::_exit(127);
    }
  }
  if (!spawn.working_directory.empty() && ::chdir(spawn.working_directory.c_str()) != 0) {
    Report(report_fd, 'E', errno);
    ::_exit(127);
  }
  ::execve(spawn.program.c_str(), argv, envp);
  Report(report_fd, 'E', errno);
  ::_exit(127);
}

}  // namespace

SpawnResult SpawnDetached(const DetachedSpawn& spawn) {
  SpawnResult result;
  // Everything the children need is prepared here: after fork only
  // async-signal-safe calls are allowed.
  std::vector<char*> argv{const_cast<char*>(spawn.program.c_str()), nullptr};
  std::vector<char*> envp;
  for (const auto& entry : spawn.environment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  rlimit limit{};
  const int fd_limit = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                           ? static_cast<int>(limit.rlim_cur)
                           : 65536;

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }
  const int report_read = pipe_fds[0];
  const int report_write = Lift(pipe_fds[1]);
  ::close(pipe_fds[1]);
  const int devnull = Lift(::open("/dev/null", O_RDWR | O_CLOEXEC));
  const int inherited = Lift(spawn.inherited_fd);
  auto close_ours = [&] {
    if (report_write >= 0) ::close(report_write);
    if (devnull >= 0) ::close(devnull);
    if (inherited >= 0) ::close(inherited);
  };
  if (report_write < 0 || devnull < 0 || (spawn.inherited_fd >= 0 && inherited < 0)) {
    result.error = errno;
    close_ours();
    ::close(report_read);
    return result;
  }

  const pid_t child = ::fork();
  if (child < 0) {
    result.error = errno;
    close_ours();
    ::close(report_read);
    return result;
  }
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
      Report(report_write, 'E', errno);
      ::_exit(1);
    }
    if (grandchild > 0) {
      Report(report_write, 'P', grandchild);
      ::_exit(0);
    }
    RunGrandchild(spawn, report_write, devnull, inherited, argv.data(), envp.data(), fd_limit);
  }

  close_ours();
  int status;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  SpawnReport report{};
  for (;;) {
    const ssize_t n = ::read(report_read, &report, sizeof report);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof report)) break;
    if (report.kind == 'P') result.pid = report.value;
    if (report.kind == 'E') result.error = report.value;
  }
  ::close(report_read);
  if (result.error == 0 && result.pid == 0) result.error = ECHILD;
  return result;
}

}  // namespace vltg::platform
