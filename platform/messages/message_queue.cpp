#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/messages/clock.h"
#include "platform/messages/thread_queue.h"

namespace vltg::platform {
namespace {

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

struct QueueList {
  std::mutex mutex;
  std::vector<std::weak_ptr<ThreadQueue>> queues;
};

QueueList& AllQueues() {
  static QueueList* list = new QueueList;  // never destroyed: threads may outlive statics
  return *list;
}

// Queues in existence; with one, a thread waking the others has none to wake.
std::atomic<int> g_queues{0};

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) queue->Shutdown();
  }
};

thread_local QueueHolder t_holder;

// Runs at scope end even when a handler throws.
template <typename F>
struct Finally {
  F f;
  ~Finally() { f(); }
};
template <typename F>
Finally(F) -> Finally<F>;

}  // namespace

ThreadQueue::ThreadQueue() : owner_(std::this_thread::get_id()), wake_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  ++g_queues;
}

ThreadQueue::~ThreadQueue() {
  if (wake_fd_ >= 0) close(wake_fd_);
  --g_queues;
}

void ThreadQueue::Shutdown() {
  std::deque<std::shared_ptr<SentMessage>> pending;
  {
    std::lock_guard lock(mutex_);
    alive_ = false;
    pending.swap(sent_);
    posted_.clear();
    thread_messages_.clear();
    Recount();
  }
  for (auto& sent : pending) CompleteSent(sent, false, 0);
  timers.clear();
  sources.clear();
  thread_handler = nullptr;
}

void ThreadQueue::Wake() {
  woken_.store(true);
  // Only a thread blocked in poll needs the descriptor; one that is not sees
  // woken_ before it blocks (both flags are sequentially consistent).
  if (!blocked_.load()) return;
  const uint64_t one = 1;
  ssize_t n;
  do {
    n = write(wake_fd_, &one, sizeof one);
  } while (n < 0 && errno == EINTR);
}

int ThreadQueue::PollFds(std::vector<pollfd>& fds, int real_ms) {
  int n;
  do {
    n = poll(fds.data(), fds.size(), real_ms);
  } while (n < 0 && errno == EINTR);
  if (n > 0 && (fds[0].revents & POLLIN) != 0) {
    uint64_t count;
    while (read(wake_fd_, &count, sizeof count) > 0) {
    }
  }
  return n;
}

void ThreadQueue::Block(std::vector<pollfd>& fds, int real_ms) {
  blocked_.store(true);
  if (!woken_.exchange(false)) PollFds(fds, real_ms);
  blocked_.store(false);
}

bool ThreadQueue::PostMessage(const std::shared_ptr<TargetState>& target, uint32_t msg, uintptr_t wparam,
                              intptr_t lparam) {
  {
    std::lock_guard lock(mutex_);
    if (!alive_ || !target->alive) return false;
    posted_.push_back({target, msg, wparam, lparam});
    Recount();
  }
  Wake();
  return true;
}

bool ThreadQueue::PostThreadMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  {
    std::lock_guard lock(mutex_);
    if (!alive_) return false;
    thread_messages_.push_back({msg, wparam, lparam});
    Recount();
  }
  Wake();
  return true;
}

bool ThreadQueue::QueueSent(const std::shared_ptr<SentMessage>& sent) {
  {
    std::lock_guard lock(mutex_);
    auto target = sent->target.lock();
    if (!alive_ || !target || !target->alive) return false;
    sent_.push_back(sent);
    Recount();
  }
  Wake();
  return true;
}

void ThreadQueue::CompleteSent(const std::shared_ptr<SentMessage>& sent, bool handled, intptr_t result) {
  auto sender = sent->sender.lock();
  if (!sender) return;
  {
    std::lock_guard lock(sender->mutex_);
    sent->done = true;
    sent->handled = handled;
    sent->result = result;
  }
  sender->Wake();
}

bool ThreadQueue::IsDone(const std::shared_ptr<SentMessage>& sent) {
  std::lock_guard lock(mutex_);
  return sent->done;
}

void ThreadQueue::DropTarget(const TargetState* target) {
  std::deque<std::shared_ptr<SentMessage>> failed;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(posted_, [&](const PostedMessage& m) {
      auto t = m.target.lock();
      return !t || t.get() == target;
    });
    for (auto it = sent_.begin(); it != sent_.end();) {
      auto t = (*it)->target.lock();
      if (!t || t.get() == target) {
        failed.push_back(*it);
        it = sent_.erase(it);
      } else {
        ++it;
      }
    }
    Recount();
  }
  for (auto& sent : failed) CompleteSent(sent, false, 0);
}

bool ThreadQueue::DispatchSent() {
  bool any = false;
  for (;;) {
    std::shared_ptr<SentMessage> sent;
    {
      std::lock_guard lock(mutex_);
      if (sent_.empty()) break;
      sent = sent_.front();
      sent_.pop_front();
      Recount();
    }
    any = true;
    auto target = sent->target.lock();
    if (!target || !target->alive) {
      CompleteSent(sent, false, 0);
      continue;
    }
    bool completed = false;
    Finally release{[&] {
      if (!completed) CompleteSent(sent, true, 0);
    }};
    const intptr_t result = target->handler ? target->handler(sent->msg, sent->wparam, sent->lparam) : 0;
    completed = true;
    CompleteSent(sent, true, result);
  }
  return any;
}

bool ThreadQueue::DispatchPosted() {
  size_t pending;
  {
    std::lock_guard lock(mutex_);
    pending = posted_.size();
  }
  bool any = false;
  for (; pending > 0; --pending) {
    PostedMessage message;
    {
      std::lock_guard lock(mutex_);
      if (posted_.empty()) break;
      message = posted_.front();
      posted_.pop_front();
      Recount();
    }
    any = true;
    auto target = message.target.lock();
    if (target && target->alive && target->handler) target->handler(message.msg, message.wparam, message.lparam);
  }
  return any;
}

bool ThreadQueue::DispatchThreadMessages() {
  size_t pending;
  {
    std::lock_guard lock(mutex_);
    pending = thread_messages_.size();
  }
  bool any = false;
  for (; pending > 0; --pending) {
    ThreadMessage message;
    {
      std::lock_guard lock(mutex_);
      if (thread_messages_.empty()) break;
      message = thread_messages_.front();
      thread_messages_.pop_front();
      Recount();
    }
    any = true;
    if (thread_handler) {
      auto handler = thread_handler;  // the handler may replace itself
      handler(message.msg, message.wparam, message.lparam);
    }
  }
  return any;
}

bool ThreadQueue::DispatchSources(int timeout_ms) {
  if (sources.empty()) return false;
  const auto snapshot = sources;
  std::vector<pollfd> fds;
  std::vector<size_t> starts;
  for (auto* source : snapshot) {
    starts.push_back(fds.size());
    source->CollectFds(fds);
  }
  starts.push_back(fds.size());
  if (fds.empty()) return false;
  int n;
  do {
    n = poll(fds.data(), fds.size(), timeout_ms);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return false;
  bool any = false;
  for (size_t i = 0; i < snapshot.size(); ++i) {
    const size_t begin = starts[i], end = starts[i + 1];
    const bool ready = std::any_of(fds.begin() + begin, fds.begin() + end, [](const pollfd& p) { return p.revents; });
    // A handler may have unregistered a later source.
    if (ready && std::find(sources.begin(), sources.end(), snapshot[i]) != sources.end()) {
      any = true;
      snapshot[i]->OnReady(fds.data() + begin, end - begin);
    }
  }
  return any;
}

int64_t ThreadQueue::NextTimerDue() const {
  int64_t due = kNoLimit;
  for (const auto& timer : timers) {
    if (timer->enabled) due = std::min(due, timer->next_due);
  }
  return due;
}

bool ThreadQueue::DispatchTimers() {
  const int64_t now = NowMs();
  if (NextTimerDue() > now) return false;
  const auto snapshot = timers;
  bool any = false;
  for (const auto& timer : snapshot) {
    if (!timer->enabled || now < timer->next_due) continue;
    // Coalesced: one tick however many periods passed; the phase is kept.
    const int64_t interval = std::max<int64_t>(timer->interval_ms, 1);
    timer->next_due += ((now - timer->next_due) / interval + 1) * interval;
    any = true;
    if (timer->on_timer) {
      auto handler = timer->on_timer;  // the handler may destroy the timer
      handler();
    }
  }
  return any;
}

void ThreadQueue::Recount() { queued_.store(sent_.size() + posted_.size() + thread_messages_.size()); }

bool ThreadQueue::Process() {
  bool any = false;
  // Read without the lock: a message queued after this look wakes the thread,
  // so the next pump sees it.
  if (queued_.load() != 0) {
    any |= DispatchSent();
    any |= DispatchPosted();
    any |= DispatchThreadMessages();
  }
  any |= DispatchSources(0);
  any |= DispatchTimers();
  return any;
}

void ThreadQueue::Wait(int64_t until) {
  if (woken_.exchange(false) || queued_.load() != 0) return;
  Clock& clock = GetClock();
  const int64_t now = clock.NowMs();
  const int64_t target = std::min(until < 0 ? kNoLimit : until, NextTimerDue());
  if (target <= now) return;

  std::vector<pollfd> fds;
  if (!sources.empty()) {
    fds.push_back({wake_fd_, POLLIN, 0});
    for (auto* source : sources) source->CollectFds(fds);
    // A ready source ends the wait before the clock may move on.
    if (fds.size() > 1 && PollFds(fds, 0) > 0) return;
  }
  // So does a wake since the wait began (a message from another thread).
  if (woken_.load()) return;
  if (target != kNoLimit && clock.Idle(target)) return;
  if (fds.empty()) fds.push_back({wake_fd_, POLLIN, 0});
  Block(fds, target == kNoLimit ? -1 : clock.RealWaitMs(target - now));
}

void ThreadQueue::WaitWake(int real_ms) {
  std::vector<pollfd> fds{{wake_fd_, POLLIN, 0}};
  Block(fds, real_ms);
}

void ThreadQueue::Pause(int64_t until) {
  bool woken = false;
  for (;;) {
    Clock& clock = GetClock();
    const int64_t now = clock.NowMs();
    if (now >= until) break;
    if (clock.Idle(until)) continue;
    std::vector<pollfd> fds{{wake_fd_, POLLIN, 0}};
    blocked_.store(true);
    if (woken_.exchange(false) || PollFds(fds, clock.RealWaitMs(until - now)) > 0) woken = true;
    blocked_.store(false);
  }
  if (woken) woken_.store(true);
}

std::shared_ptr<ThreadQueue> CurrentQueueShared() {
  if (!t_holder.queue) {
    t_holder.queue = std::make_shared<ThreadQueue>();
    auto& list = AllQueues();
    std::lock_guard lock(list.mutex);
    std::erase_if(list.queues, [](const std::weak_ptr<ThreadQueue>& q) { return q.expired(); });
    list.queues.push_back(t_holder.queue);
  }
  return t_holder.queue;
}

ThreadQueue& CurrentQueue() { return t_holder.queue ? *t_holder.queue : *CurrentQueueShared(); }

namespace {

void WakeQueues(const ThreadQueue* except) {
  if (except != nullptr && g_queues.load() == 1) return;
  // Kept from call to call: a virtual clock wakes every thread at each step.
  thread_local std::vector<std::shared_ptr<ThreadQueue>> queues;
  {
    auto& list = AllQueues();
    std::lock_guard lock(list.mutex);
    for (auto& weak : list.queues) {
      if (auto q = weak.lock(); q && q.get() != except) queues.push_back(std::move(q));
    }
  }
  for (auto& q : queues) q->Wake();
  queues.clear();  // a queue whose thread has ended may go here, outside the lock
}

}  // namespace

void WakeAllThreads() { WakeQueues(nullptr); }

void WakeOtherThreads() { WakeQueues(t_holder.queue.get()); }

// ---- targets ----

MessageTarget::MessageTarget(MessageHandler handler) : state_(std::make_shared<TargetState>()) {
  state_->handler = std::move(handler);
  state_->queue = CurrentQueueShared();
  state_->owner = std::this_thread::get_id();
}

MessageTarget::~MessageTarget() {
  if (auto queue = state_->queue.lock()) {
    {
      std::lock_guard lock(queue->mutex());
      state_->alive = false;
    }
    queue->DropTarget(state_.get());
  }
}

TargetRef MessageTarget::Ref() const { return TargetRef(state_); }

std::thread::id MessageTarget::Owner() const { return state_->owner; }

bool TargetRef::Post(uint32_t msg, uintptr_t wparam, intptr_t lparam) const {
  auto target = state_.lock();
  if (!target) return false;
  auto queue = target->queue.lock();
  return queue && queue->PostMessage(target, msg, wparam, lparam);
}

std::optional<intptr_t> TargetRef::Send(uint32_t msg, uintptr_t wparam, intptr_t lparam) const {
  auto target = state_.lock();
  if (!target) return std::nullopt;
  auto queue = target->queue.lock();
  if (!queue) return std::nullopt;
  if (target->owner == std::this_thread::get_id()) {
    if (!target->alive || !target->handler) return target->alive ? std::optional<intptr_t>(0) : std::nullopt;
    return target->handler(msg, wparam, lparam);
  }
  auto& me = CurrentQueue();
  auto sent = std::make_shared<SentMessage>();
  sent->target = target;
  sent->msg = msg;
  sent->wparam = wparam;
  sent->lparam = lparam;
  sent->sender = CurrentQueueShared();
  target.reset();
  if (!queue->QueueSent(sent)) return std::nullopt;
  queue.reset();
  // Wait, still handling what other threads send to this one.
  for (;;) {
    me.DispatchSent();
    if (me.IsDone(sent)) break;
    me.WaitWake();
  }
  if (!sent->handled) return std::nullopt;
  return sent->result;
}

bool TargetRef::Alive() const {
  auto target = state_.lock();
  if (!target) return false;
  auto queue = target->queue.lock();
  if (!queue) return false;
  std::lock_guard lock(queue->mutex());
  return target->alive;
}

// ---- thread messages ----

ThreadRef CurrentThread() { return ThreadRef(CurrentQueueShared()); }

bool ThreadRef::PostThreadMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam) const {
  auto queue = queue_.lock();
  return queue && queue->PostThreadMessage(msg, wparam, lparam);
}

bool ThreadRef::Alive() const { return !queue_.expired(); }

void ThreadRef::Wake() const {
  if (auto queue = queue_.lock()) queue->Wake();
}

void SetThreadMessageHandler(std::function<void(uint32_t, uintptr_t, intptr_t)> handler) {
  CurrentQueue().thread_handler = std::move(handler);
}

// ---- poll sources ----

void RegisterPollSource(PollSource* source) {
  auto& sources = CurrentQueue().sources;
  if (std::find(sources.begin(), sources.end(), source) == sources.end()) sources.push_back(source);
}

void UnregisterPollSource(PollSource* source) { std::erase(CurrentQueue().sources, source); }

// ---- pumping ----

bool ProcessMessages() { return CurrentQueue().Process(); }

void ProcessSentMessages() { CurrentQueue().DispatchSent(); }

void WaitForWake(int real_ms) { CurrentQueue().WaitWake(real_ms); }

void SleepPumping(int64_t ms) {
  auto& queue = CurrentQueue();
  const int64_t deadline = NowMs() + std::max<int64_t>(ms, 0);
  for (;;) {
    queue.Process();
    if (NowMs() >= deadline) break;
    queue.Wait(deadline);
  }
}

void SleepWithoutPumping(int64_t ms) {
  auto& queue = CurrentQueue();
  queue.Pause(NowMs() + std::max<int64_t>(ms, 0));
}

void WaitMessage(int64_t ms) {
  auto& queue = CurrentQueue();
  if (queue.Process()) return;
  queue.Wait(ms < 0 ? -1 : NowMs() + ms);
  queue.Process();
}

void WaitReadable(int fd, int64_t until_ms) {
  // Watched for this one wait only: a descriptor left readable would keep
  // every later wait of the thread from blocking.
  struct Readable : PollSource {
    int fd = -1;
    void CollectFds(std::vector<pollfd>& fds) override { fds.push_back({fd, POLLIN, 0}); }
    void OnReady(const pollfd*, size_t) override {}
  } source;
  source.fd = fd;
  RegisterPollSource(&source);
  Finally unregister{[&] { UnregisterPollSource(&source); }};
  WaitMessage(until_ms < 0 ? -1 : std::max<int64_t>(0, until_ms - NowMs()));
}

}  // namespace vltg::platform
