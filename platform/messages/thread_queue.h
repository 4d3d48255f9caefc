#pragma once
// Internal: the per-thread queue behind message_queue.h and timer.h.
#include <poll.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/messages/message_queue.h"

namespace vltg::platform {

struct TargetState {
  MessageHandler handler;
  std::weak_ptr<ThreadQueue> queue;
  std::thread::id owner;
  bool alive = true;  // guarded by the owner queue's mutex
};

struct TimerState {
  int64_t interval_ms = 1000;
  bool enabled = false;
  int64_t next_due = 0;
  std::function<void()> on_timer;
  std::weak_ptr<ThreadQueue> queue;
};

struct PostedMessage {
  std::weak_ptr<TargetState> target;
  uint32_t msg;
  uintptr_t wparam;
  intptr_t lparam;
};

struct SentMessage {
  std::weak_ptr<TargetState> target;
  uint32_t msg;
  uintptr_t wparam;
  intptr_t lparam;
  std::weak_ptr<ThreadQueue> sender;
  // Guarded by the sender's queue mutex.
  bool done = false;
  bool handled = false;
  intptr_t result = 0;
};

class ThreadQueue : public std::enable_shared_from_this<ThreadQueue> {
 public:
  ThreadQueue();
  ~ThreadQueue();

  // Called when the owning thread ends: later posts and sends fail, pending
  // sends are released.
  void Shutdown();
  void Wake();
  bool PostMessage(const std::shared_ptr<TargetState>& target, uint32_t msg, uintptr_t wparam, intptr_t lparam);
  bool PostThreadMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  // Queues a sent message; false when this queue is shut down.
  bool QueueSent(const std::shared_ptr<SentMessage>& sent);
  // Marks a sent message finished and wakes its sender.
  void CompleteSent(const std::shared_ptr<SentMessage>& sent, bool handled, intptr_t result);
  bool IsDone(const std::shared_ptr<SentMessage>& sent);
  void DropTarget(const TargetState* target);

  bool DispatchSent();
  bool Process();
  // Blocks until something may be pending, `until` (clock ms) passes, or a
  // due timer; -1 waits without limit.
  void Wait(int64_t until);
  // Blocks until the queue is woken (something sent, posted or a clock move).
  void WaitWake(int real_ms = -1);
  // Blocks until the clock reaches `until`, dispatching nothing; a wake that
  // comes meanwhile is kept for the next wait.
  void Pause(int64_t until);

  std::thread::id owner() const { return owner_; }
  std::mutex& mutex() { return mutex_; }

  // Owner thread only.
  std::vector<std::shared_ptr<TimerState>> timers;
  std::vector<PollSource*> sources;
  std::function<void(uint32_t, uintptr_t, intptr_t)> thread_handler;

 private:
  struct ThreadMessage {
    uint32_t msg;
    uintptr_t wparam;
    intptr_t lparam;
  };
  bool DispatchPosted();
  bool DispatchThreadMessages();
  bool DispatchSources(int timeout_ms);
  bool DispatchTimers();
  int64_t NextTimerDue() const;
  // Polls `fds` (the wake descriptor first) and empties the wake descriptor
  // when it was written; poll's result.
  int PollFds(std::vector<pollfd>& fds, int real_ms);
  // Blocks in poll unless a wake came since the last wait.
  void Block(std::vector<pollfd>& fds, int real_ms);
  // After each change of the three queues, under mutex_.
  void Recount();

  std::mutex mutex_;
  std::thread::id owner_;
  // Set by every Wake and taken by the next wait, so no wake-up is lost
  // between a pump and its wait.
  std::atomic<bool> woken_{false};
  // The owner is in (or about to enter) poll: only then does Wake write the
  // wake descriptor.
  std::atomic<bool> blocked_{false};
  // Messages in the three queues, for a pump's look without the lock.
  std::atomic<size_t> queued_{0};
  bool alive_ = true;
  int wake_fd_ = -1;
  std::deque<PostedMessage> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  std::deque<ThreadMessage> thread_messages_;
};

// The calling thread's queue, made on first use.
ThreadQueue& CurrentQueue();
std::shared_ptr<ThreadQueue> CurrentQueueShared();

}  // namespace vltg::platform
