#pragma once
// Work handed off by a thread that must never wait on it (the manager's
// window), and its outcome handed back: each piece of work runs on a thread
// of its own, and when it is done its `done` call is queued and the ready
// descriptor becomes readable, for the owner's thread to run the queued calls
// one by one. Everything that crosses threads goes through our own lock and
// thread starts, so the thread sanitizer sees the hand-over.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace vltg::platform {

class WorkHandOff {
 public:
  WorkHandOff();
  // Waits for the work still running; `done` calls not yet taken are dropped.
  ~WorkHandOff();
  WorkHandOff(const WorkHandOff&) = delete;
  WorkHandOff& operator=(const WorkHandOff&) = delete;

  void Run(std::function<void()> work, std::function<void()> done);
  // Readable while finished work waits to be taken (for a watcher of the
  // owner's event loop).
  int ReadyDescriptor() const { return ready_fd_; }
  // The owner's thread: runs the `done` of the oldest work finished and not
  // yet answered; false when there is none. A `done` may run the owner's
  // events and so come here again.
  bool RunOneFinished();
  // Waits up to `limit` for finished work.
  void WaitReady(std::chrono::milliseconds limit) const;
  // Work running now.
  int Running() const { return running_; }

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> ended{false};
  };
  // Joins the threads whose work has ended, so a long life of short work
  // (a status poll every ten seconds) keeps no thread.
  void ReapEnded();

  int ready_fd_;
  std::mutex mutex_;
  std::deque<std::function<void()>> finished_;  // guarded by mutex_
  std::deque<std::function<void()>> taken_;     // the owner's thread only
  std::list<Worker> workers_;  // the owner's thread only
  std::atomic<int> running_{0};
};

}  // namespace vltg::platform
