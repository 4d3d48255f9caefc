#pragma once
// The manager's background runner for tests: each work on a thread of its
// own; its `done` waits for the thread that waits (the test's, standing for
// the window's), as the window's event loop would.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "manager/model/background_runner.h"

namespace vltg::testing {

class ThreadRunner : public manager::BackgroundRunner {
 public:
  // Waits for the work still running; `done` calls not yet made are dropped.
  ~ThreadRunner() override;

  void Run(std::function<void()> work, std::function<void()> done) override;
  // Runs each `done` as it comes until `finished` holds.
  void WaitUntil(const std::function<bool()>& finished) override;
  // Runs the `done` of all work started.
  void Settle();
  // Work running now.
  int Running() const { return running_; }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> done_;  // work finished, `done` still to run
  int outstanding_ = 0;                     // started, `done` not yet run
  std::atomic<int> running_{0};
  std::vector<std::thread> threads_;
};

}  // namespace vltg::testing
