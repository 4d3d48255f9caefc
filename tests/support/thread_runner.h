#pragma once
// The manager's background runner for tests: each work on a thread of its
// own; its `done` waits for the thread that waits (the test's, standing for
// the window's), as the window's event loop would.
#include <functional>

#include "manager/model/background_runner.h"
#include "platform/messages/work_hand_off.h"

namespace vltg::testing {

class ThreadRunner : public manager::BackgroundRunner {
 public:
  void Run(std::function<void()> work, std::function<void()> done) override;
  // Runs each `done` as it comes until `finished` holds.
  void WaitUntil(const std::function<bool()>& finished) override;
  // Runs the `done` of all work started.
  void Settle();
  // Work running now.
  int Running() const { return hand_off_.Running(); }

 private:
  int outstanding_ = 0;  // started, `done` not yet run
  platform::WorkHandOff hand_off_;  // last: its end waits for the work
};

}  // namespace vltg::testing
