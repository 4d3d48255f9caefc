#include "platform/messages/work_hand_off.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vltg::platform {

WorkHandOff::WorkHandOff() : ready_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (ready_fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

WorkHandOff::~WorkHandOff() {
  for (Worker& worker : workers_) worker.thread.join();
  ::close(ready_fd_);
}

void WorkHandOff::Run(std::function<void()> work, std::function<void()> done) {
  ReapEnded();
  ++running_;
  Worker& worker = workers_.emplace_back();
  worker.thread = std::thread([this, &worker, work = std::move(work), done = std::move(done)]() mutable {
    work();
    --running_;  // before its `done` can run
    {
      const std::lock_guard lock(mutex_);
      finished_.push_back(std::move(done));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(ready_fd_, &one, sizeof one);
    worker.ended = true;
  });
}

void WorkHandOff::ReapEnded() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (!it->ended) {
      ++it;
      continue;
    }
    it->thread.join();
    it = workers_.erase(it);
  }
}

bool WorkHandOff::RunOneFinished() {
  if (taken_.empty()) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(ready_fd_, &count, sizeof count);  // clears readiness
    const std::lock_guard lock(mutex_);
    taken_.swap(finished_);
  }
  if (taken_.empty()) return false;
  const std::function<void()> done = std::move(taken_.front());
  taken_.pop_front();
  if (done) done();
  return true;
}

void WorkHandOff::WaitReady(std::chrono::milliseconds limit) const {
  pollfd ready{ready_fd_, POLLIN, 0};
  while (::poll(&ready, 1, static_cast<int>(limit.count())) < 0 && errno == EINTR) {
  }
}

}  // namespace vltg::platform
