#pragma once
// Where the manager's calls of the service layer run. Any of them may wait
// seconds for a gateway that does not answer, so none runs on the window's
// thread: the window supplies a runner whose work runs on a thread of its
// own and whose outcome comes back to the window's thread between its events.
#include <functional>

namespace vltg::manager {

class BackgroundRunner {
 public:
  virtual ~BackgroundRunner() = default;

  // Runs `work` on a thread other than the window's, then `done` on the
  // window's thread, from its event loop.
  virtual void Run(std::function<void()> work, std::function<void()> done) = 0;
  // Lets the window's events, the `done` calls among them, through until
  // `finished` holds.
  virtual void WaitUntil(const std::function<bool()>& finished) = 0;
};

}  // namespace vltg::manager
