#include "tests/support/thread_runner.h"

namespace vltg::testing {

void ThreadRunner::Run(std::function<void()> work, std::function<void()> done) {
  ++outstanding_;
  hand_off_.Run(std::move(work), [this, done = std::move(done)] {
    --outstanding_;
    if (done) done();
  });
}

void ThreadRunner::WaitUntil(const std::function<bool()>& finished) {
  while (!finished()) {
    if (!hand_off_.RunOneFinished()) hand_off_.WaitReady(std::chrono::seconds(1));
  }
}

void ThreadRunner::Settle() {
  WaitUntil([this] { return outstanding_ == 0; });
}

}  // namespace vltg::testing
