#include "gateway/snpp/sock_thread.h"

#include <algorithm>
#include <memory>

#include "engines/win_thread.h"
#include "gateway/snpp/sock.h"

namespace vltg {

void TSockThread::Start(TSock& listener, TSock& accepted) {
  if (!listener.FAcceptThreads) {
    listener.FAcceptSync = std::make_unique<platform::MessageTarget>(
        [&listener](uint32_t msg, uintptr_t wparam, intptr_t) -> intptr_t {
          Synchronized(listener, msg, reinterpret_cast<TSock*>(wparam));
          return 0;
        });
    listener.FAcceptThreads = std::make_unique<TWinThread>();
    listener.FAcceptThreads->ThreadProc = [](TWinThread&, TWinThreadParam& param) -> uint32_t {
      // The thread frees itself when it ends.
      std::unique_ptr<TSockThread> self(static_cast<TSockThread*>(param.Param));
      self->Execute();
      return 0;
    };
  }
  std::unique_ptr<TSockThread> thread(new TSockThread(listener.FAcceptSync->Ref(), &accepted));
  ++listener.FAcceptThreadCount;
  try {
    listener.FAcceptThreads->Execute(thread.get());
    thread.release();
  } catch (const std::exception&) {
    // No thread to hand the connection to: it is dropped.
    Synchronized(listener, kTerminate, &accepted);
  }
}

void TSockThread::Execute() {
  listener_.Send(kAutoAccept, reinterpret_cast<uintptr_t>(accepted_));
  listener_.Send(kTerminate, reinterpret_cast<uintptr_t>(accepted_));
}

void TSockThread::Synchronized(TSock& listener, uint32_t step, TSock* accepted) {
  auto& owned = listener.FAccepted;
  const auto it = std::find_if(owned.begin(), owned.end(), [&](const auto& sock) { return sock.get() == accepted; });
  if (it == owned.end()) return;
  if (step == kAutoAccept) {
    try {
      if (listener.OnAutoAccept) listener.OnAutoAccept(listener, *accepted);
    } catch (...) {
      // What the handler raises ends with it.
    }
  } else if (step == kTerminate) {
    owned.erase(it);
    --listener.FAcceptThreadCount;
  }
}

}  // namespace vltg
