#include "tests/support/thread_runner.h"

namespace vltg::testing {

ThreadRunner::~ThreadRunner() {
  for (std::thread& thread : threads_) thread.join();
}

void ThreadRunner::Run(std::function<void()> work, std::function<void()> done) {
  const std::lock_guard lock(mutex_);
  ++outstanding_;
  ++running_;
  threads_.emplace_back([this, work = std::move(work), done = std::move(done)]() mutable {
    work();
    --running_;
    {
      const std::lock_guard lock(mutex_);
      done_.push_back(std::move(done));
    }
    ready_.notify_all();
  });
}

void ThreadRunner::WaitUntil(const std::function<bool()>& finished) {
  std::unique_lock lock(mutex_);
  while (!finished()) {
    ready_.wait(lock, [this] { return !done_.empty(); });
    std::function<void()> done = std::move(done_.front());
    done_.pop_front();
    lock.unlock();
    done();
    lock.lock();
    --outstanding_;
  }
}

void ThreadRunner::Settle() {
  WaitUntil([this] { return outstanding_ == 0; });
}

}  // namespace vltg::testing
