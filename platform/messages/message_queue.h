#pragma once
// A message queue per thread, in the manner of window messages.
//
// A MessageTarget (a window-like handle) belongs to the thread that made it.
// Any thread may post to it (queued, returns at once) or send to it (blocks
// until the owner has handled it; fails at once when the owner is gone). A
// thread handles its messages, timers and readiness sources only while it
// pumps: ProcessMessages() dispatches what is pending, SleepPumping() waits on
// the queue (never spinning) and dispatches what arrives. The pump is
// re-entrant, and no lock is held while a handler runs.
#include <poll.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vltg::platform {

class ThreadQueue;
struct TargetState;

using MessageHandler = std::function<intptr_t(uint32_t msg, uintptr_t wparam, intptr_t lparam)>;

// A copyable reference to a target that any thread may hold; it does not keep
// the target alive.
class TargetRef {
 public:
  TargetRef() = default;
  // Queues the message for the owner thread; false when the target is gone.
  bool Post(uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0) const;
  // Runs the handler on the owner thread and returns its result; nothing when
  // the target or its thread is gone (or goes away before handling it). Called
  // on the owner thread, the handler runs at once. While a sender waits it
  // still handles messages sent to its own thread, so two threads sending to
  // each other do not deadlock.
  std::optional<intptr_t> Send(uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0) const;
  bool Alive() const;
  explicit operator bool() const { return !state_.expired(); }

 private:
  friend class MessageTarget;
  explicit TargetRef(std::weak_ptr<TargetState> state) : state_(std::move(state)) {}
  std::weak_ptr<TargetState> state_;
};

class MessageTarget {
 public:
  explicit MessageTarget(MessageHandler handler);
  // Messages still queued for the target are dropped; pending sends fail.
  ~MessageTarget();
  MessageTarget(const MessageTarget&) = delete;
  MessageTarget& operator=(const MessageTarget&) = delete;

  TargetRef Ref() const;
  std::thread::id Owner() const;
  bool Post(uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0) const { return Ref().Post(msg, wparam, lparam); }
  std::optional<intptr_t> Send(uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0) const {
    return Ref().Send(msg, wparam, lparam);
  }

 private:
  std::shared_ptr<TargetState> state_;
};

// A thread's own queue for messages that have no target (thread messages).
class ThreadRef {
 public:
  ThreadRef() = default;
  bool PostThreadMessage(uint32_t msg, uintptr_t wparam = 0, intptr_t lparam = 0) const;
  bool Alive() const;
  // Interrupts the thread's current wait without queueing anything.
  void Wake() const;

 private:
  friend ThreadRef CurrentThread();
  explicit ThreadRef(std::weak_ptr<ThreadQueue> queue) : queue_(std::move(queue)) {}
  std::weak_ptr<ThreadQueue> queue_;
};

ThreadRef CurrentThread();
// Thread messages of the calling thread go to this handler while it pumps;
// without one they are dropped.
void SetThreadMessageHandler(std::function<void(uint32_t msg, uintptr_t wparam, intptr_t lparam)> handler);

// Something with file descriptors whose readiness the calling thread's pump
// turns into notices (the socket layer registers one).
class PollSource {
 public:
  virtual ~PollSource() = default;
  // Appends the descriptors to watch now (events set).
  virtual void CollectFds(std::vector<pollfd>& fds) = 0;
  // Called with the slice this source added, revents filled.
  virtual void OnReady(const pollfd* fds, size_t count) = 0;
};
// Registration is per calling thread; a source must unregister (on the same
// thread) before it is destroyed.
void RegisterPollSource(PollSource* source);
void UnregisterPollSource(PollSource* source);

// Dispatches what is pending for the calling thread only: sent and posted
// messages, thread messages, ready poll sources and due timers. Never blocks.
// Returns true when it dispatched anything.
bool ProcessMessages();
// Handles only the messages other threads have sent to this one (what a
// thread must still do while it blocks on something else).
void ProcessSentMessages();
// Blocks up to `real_ms` real milliseconds (-1: no limit) until this thread's
// queue is woken: a message arrives, ThreadRef::Wake, or a clock move.
void WaitForWake(int real_ms);
// Pumps for `ms` clock milliseconds, waiting on the queue in between.
void SleepPumping(int64_t ms);
// Waits `ms` clock milliseconds as a plain sleep: nothing is dispatched, so
// what arrives meanwhile is handled afterwards, in its order.
void SleepWithoutPumping(int64_t ms);
// Waits until something is pending or `ms` clock milliseconds have passed
// (-1: no limit), then dispatches it.
void WaitMessage(int64_t ms);
// Waits as WaitMessage does, until `fd` is readable (or hung up), something
// was dispatched, the thread was woken, or the clock reaches `until_ms` (-1:
// no limit). Returns at once when the descriptor is readable already.
void WaitReadable(int fd, int64_t until_ms);
// Wakes every pumping thread (a virtual clock moved).
void WakeAllThreads();
// Wakes every pumping thread but the calling one (the clock moved on for it).
void WakeOtherThreads();

}  // namespace vltg::platform
