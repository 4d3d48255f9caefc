#include "tests/support/run_as_user.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace vltg::testing {

bool RunningAsRoot() { return ::geteuid() == 0; }

OrdinaryUser TheOrdinaryUser() {
  const passwd* nobody = RunningAsRoot() ? ::getpwnam("nobody") : nullptr;
  return nobody != nullptr ? OrdinaryUser{nobody->pw_uid, nobody->pw_gid} : OrdinaryUser{::geteuid(), ::getegid()};
}

std::string RunAsOrdinaryUser(const std::function<std::string()>& work) {
  if (!RunningAsRoot()) return work();
  int fds[2];
  if (::pipe(fds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    const OrdinaryUser user = TheOrdinaryUser();
    std::string result = "cannot become the ordinary user";
    if (::setgroups(0, nullptr) == 0 && ::setgid(user.gid) == 0 && ::setuid(user.uid) == 0) {
      try {
        result = work();
      } catch (const std::exception& e) {
        result = std::string("raised: ") + e.what();
      }
    }
    for (std::size_t done = 0; done < result.size();) {
      const ssize_t n = ::write(fds[1], result.data() + done, result.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0) result.append(buffer, static_cast<std::size_t>(n));
    if (n < 0 && errno != EINTR) break;
  }
  ::close(fds[0]);
  while (child > 0 && ::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return result;
}

}  // namespace vltg::testing
