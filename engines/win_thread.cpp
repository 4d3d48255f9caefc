#include "engines/win_thread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engines/random_pause.h"
#include "platform/base/exception.h"

namespace vltg {
namespace {

// A lock its holder may take again, and that only its holder can release.
class OwnedLock {
 public:
  void lock() {
    const auto me = std::this_thread::get_id();
    std::unique_lock guard(mutex_);
    if (owner_ != me) {
      freed_.wait(guard, [this] { return depth_ == 0; });
      owner_ = me;
    } else if (depth_ == std::numeric_limits<int>::max()) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    ++depth_;
  }
  // Nothing when the calling thread does not hold the lock.
  void unlock() {
    std::lock_guard guard(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
    if (--depth_ == 0) {
      owner_ = {};
      freed_.notify_one();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  std::thread::id owner_;
  int depth_ = 0;
};

}  // namespace

// State the workers share with the component; it outlives the component for
// as long as a worker still finishes its last steps.
struct TWinThread::Shared {
  OwnedLock mutex;  // the component's lock
  std::vector<std::shared_ptr<Worker>> workers;
  std::atomic<bool> destroying{false};
  std::atomic<bool> stop_all_running{false};
  std::atomic<THandle> next_handle{0};
  platform::TargetRef target;
  platform::ThreadRef owner_thread;
};

struct TWinThread::Worker {
  TWinThreadInfo info;
  platform::ThreadRef thread;  // guarded by Shared::mutex
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool resumed = false;
  bool cancelled = false;
};

TWinThread::TWinThread()
    : FShared(std::make_shared<Shared>()),
      FTarget(std::make_unique<platform::MessageTarget>(
          [this](uint32_t msg, uintptr_t wparam, intptr_t lparam) { return HandleMessage(msg, wparam, lparam); })) {
  RandomPause();
  FShared->target = FTarget->Ref();
  FShared->owner_thread = platform::CurrentThread();
}

TWinThread::~TWinThread() {
  FShared->destroying = true;
  FTarget.reset();
  WaitUntil([this] { return ThreadCount() == 0; }, -1);
}

THandle TWinThread::Execute(void* param) {
  if (!ThreadProc) return 0;
  auto worker = std::make_shared<Worker>();
  worker->info.Sender = this;
  worker->info.ThreadProc = ThreadProc;
  worker->info.Param = param;
  worker->info.ThreadHandle = ++FShared->next_handle;
  auto unlist = [&] {
    std::lock_guard lock(FShared->mutex);
    std::erase(FShared->workers, worker);
  };
  {
    std::lock_guard lock(FShared->mutex);
    FShared->workers.push_back(worker);
  }
  try {
    std::thread(Run, FShared, worker).detach();
  } catch (const std::system_error&) {
    unlist();
    throw Exception("Could not create thread");
  }

  std::unique_lock lock(worker->mutex);
  const int limit = FTimeOut > 0 && FTimeOut < 1000 ? 1000 : FTimeOut;
  auto started = [&] { return worker->started; };
  const bool ok = limit < 0 ? (worker->changed.wait(lock, started), true)
                            : worker->changed.wait_for(lock, std::chrono::milliseconds(limit), started);
  worker->resumed = true;
  worker->cancelled = !ok;
  lock.unlock();
  worker->changed.notify_all();
  if (!ok) {
    // The thread will end without running the procedure when it starts.
    unlist();
    throw Exception(std::to_string(worker->info.ThreadHandle) + "-0 Spawn event not triggered");
  }
  return worker->info.ThreadHandle;
}

void TWinThread::Run(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> worker) {
  {
    std::unique_lock lock(worker->mutex);
    worker->started = true;
    worker->changed.notify_all();
    worker->changed.wait(lock, [&] { return worker->resumed; });
    if (worker->cancelled) return;
  }
  {
    std::lock_guard lock(shared->mutex);
    worker->thread = platform::CurrentThread();
  }
  auto& info = worker->info;
  TWinThreadParam param{info.Sender, info.Param, info.ThreadHandle};
  try {
    info.ThreadProc(*info.Sender, param);
  } catch (const std::exception& e) {
    shared->target.Send(kThreadFailed, reinterpret_cast<uintptr_t>(&info), reinterpret_cast<intptr_t>(&e));
  } catch (...) {
    const Exception unknown("Unknown exception in thread");
    shared->target.Send(kThreadFailed, reinterpret_cast<uintptr_t>(&info), reinterpret_cast<intptr_t>(&unknown));
  }
  if (!shared->destroying) shared->target.Send(kThreadEnded, reinterpret_cast<uintptr_t>(&info), 0);
  {
    std::lock_guard lock(shared->mutex);
    std::erase(shared->workers, worker);
  }
  shared->owner_thread.Wake();
}

intptr_t TWinThread::HandleMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  switch (msg) {
    case kExecSafe:
      if (SafeExecCode) SafeExecCode(static_cast<int>(wparam));
      break;
    case kThreadEnded:
      if (ThreadTerminate && (!FShared->stop_all_running || FCallOnKill)) {
        const auto& info = *reinterpret_cast<const TWinThreadInfo*>(wparam);
        TWinThreadParam param{info.Sender, info.Param, info.ThreadHandle};
        ThreadTerminate(*this, param);
      }
      break;
    case kThreadFailed:
      if (ThreadException) {
        ThreadException(*this, *reinterpret_cast<const TWinThreadInfo*>(wparam),
                        *reinterpret_cast<const std::exception*>(lparam));
      }
      break;
    default:
      break;
  }
  return 0;
}

void TWinThread::SetTag(int value) {
  FTag.store(value);
  Wake();
}

void TWinThread::Wake() {
  std::lock_guard lock(FShared->mutex);
  for (const auto& worker : FShared->workers) worker->thread.Wake();
}

bool TWinThread::StopAll() {
  FShared->stop_all_running = true;
  struct Clear {
    Shared& shared;
    ~Clear() { shared.stop_all_running = false; }
  } clear{*FShared};
  std::vector<std::shared_ptr<Worker>> listed;
  {
    std::lock_guard lock(FShared->mutex);
    listed = FShared->workers;
  }
  for (const auto& worker : listed) {
    WaitUntil(
        [&] {
          std::lock_guard lock(FShared->mutex);
          return std::find(FShared->workers.begin(), FShared->workers.end(), worker) == FShared->workers.end();
        },
        1000);
  }
  return ThreadCount() == 0;
}

void TWinThread::Lock() {
  try {
    FShared->mutex.lock();
  } catch (const std::exception&) {
    throw Exception("Could not obtain lock mutex");
  }
}

void TWinThread::Unlock() { FShared->mutex.unlock(); }

int TWinThread::ThreadCount() const {
  std::lock_guard lock(FShared->mutex);
  return static_cast<int>(FShared->workers.size());
}

int TWinThread::WaitForThreads(int milliseconds) {
  if (ThreadCount() == 0) return kNoThreads;
  return WaitUntil([this] { return ThreadCount() == 0; }, milliseconds) ? kWaitObject0 : kWaitTimeout;
}

bool TWinThread::WaitUntil(const std::function<bool()>& done, int milliseconds) {
  using std::chrono::steady_clock;
  const auto deadline = steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
  for (;;) {
    platform::ProcessSentMessages();
    if (done()) return true;
    int wait_ms = 10;
    if (milliseconds >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now()).count();
      if (left <= 0) return false;
      wait_ms = static_cast<int>(std::min<int64_t>(left, wait_ms));
    }
    platform::WaitForWake(wait_ms);
  }
}

}  // namespace vltg
