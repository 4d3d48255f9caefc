#pragma once
// Worker-thread component. It starts any number of worker threads that run the
// owner's ThreadProc, keeps the list of those still running, and reports a
// worker's end (ThreadTerminate) and an exception escaping it
// (ThreadException) on the thread that created the component, through sent
// messages that the owner handles while it pumps.
//
// There is no forced termination: every thread procedure polls `Tag` (non-zero
// asks it to stop) or its own stop request, and every blocking wait inside one
// is stop-aware. StopAll therefore only waits for the workers, and destruction
// waits until every worker has ended.
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "platform/messages/message_queue.h"

namespace vltg {

class TWinThread;
using THandle = uintptr_t;

// What a worker's procedure and ThreadTerminate are handed.
struct TWinThreadParam {
  TWinThread* Sender = nullptr;
  void* Param = nullptr;
  THandle ThreadHandle = 0;
};

using TWinThreadEvent = std::function<uint32_t(TWinThread& sender, TWinThreadParam& info)>;

// One record per worker.
struct TWinThreadInfo {
  TWinThread* Sender = nullptr;
  TWinThreadEvent ThreadProc;
  void* Param = nullptr;
  THandle ThreadHandle = 0;
};

using TWinThreadException = std::function<void(TWinThread& sender, const TWinThreadInfo& info, const std::exception& e)>;
using TSafeExecCode = std::function<void(int param)>;

class TWinThread {
 public:
  // Messages handled on the owner thread.
  static constexpr uint32_t kExecSafe = 0x401;
  static constexpr uint32_t kThreadEnded = 0x402;
  static constexpr uint32_t kThreadFailed = 0x403;

  // Pauses a pseudo-random 0 to 99 ms first (random_pause.h).
  TWinThread();
  // Waits for every worker to end. Messages the workers still send are
  // refused from here on, so no ThreadTerminate is raised any more.
  virtual ~TWinThread();
  TWinThread(const TWinThread&) = delete;
  TWinThread& operator=(const TWinThread&) = delete;

  uint32_t GetAttributes() const { return FAttributes; }
  void SetAttributes(uint32_t value) { FAttributes = value; }
  bool GetCallOnKill() const { return FCallOnKill; }
  void SetCallOnKill(bool value) { FCallOnKill = value; }
  int GetStackSize() const { return FStackSize; }
  void SetStackSize(int value) { FStackSize = value; }
  // Milliseconds Execute waits for a new worker's start signal (-1: no limit).
  // A positive value below 1000 counts as 1000, so a busy machine does not
  // fail a healthy start.
  int GetTimeOut() const { return FTimeOut; }
  void SetTimeOut(int value) { FTimeOut = value; }
  int GetTag() const { return FTag.load(); }
  // Also wakes every worker, so a worker waiting for its next message sees a
  // stop request at once.
  void SetTag(int value);
  // Interrupts every worker's current (or next) pumping wait.
  void Wake();

  TSafeExecCode SafeExecCode;
  TWinThreadException ThreadException;
  TWinThreadEvent ThreadProc;
  TWinThreadEvent ThreadTerminate;

  // Starts one worker running ThreadProc with Param; returns its handle, or 0
  // when ThreadProc is unassigned.
  THandle Execute(void* param);
  // Waits up to 1000 ms for each worker still listed; true when none is left.
  bool StopAll();
  // Workers listed; a worker counts until after its ThreadTerminate ran.
  int ThreadCount() const;
  // Waits until every worker has ended (handling what they send meanwhile):
  // 0 when all ended, 258 when the time is up, -100 when none was listed.
  int WaitForThreads(int milliseconds);
  // Takes the component's lock, waiting as long as it is held by another
  // thread ("Could not obtain lock mutex" when the wait fails); the thread
  // holding it may take it again. It also guards the worker list, so a worker
  // that has ended stays listed while the owner holds it: never wait for the
  // workers while holding it.
  virtual void Lock();
  // Releases one Lock of the calling thread; nothing when it holds none.
  virtual void Unlock();
  // The component's window: other threads send kExecSafe to it.
  platform::TargetRef Handle() const { return FTarget->Ref(); }

  static constexpr int kWaitObject0 = 0;
  static constexpr int kWaitTimeout = 258;
  static constexpr int kNoThreads = -100;

 private:
  struct Shared;
  struct Worker;
  static void Run(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> worker);
  intptr_t HandleMessage(uint32_t msg, uintptr_t wparam, intptr_t lparam);
  // Waits until `done` holds or `milliseconds` pass (-1: no limit), handling
  // messages sent to this thread meanwhile.
  bool WaitUntil(const std::function<bool()>& done, int milliseconds);

  uint32_t FAttributes = 0;
  bool FCallOnKill = false;
  int FStackSize = 0;
  int FTimeOut = -1;
  std::atomic<int> FTag{0};
  std::shared_ptr<Shared> FShared;
  std::unique_ptr<platform::MessageTarget> FTarget;
};

}  // namespace vltg
