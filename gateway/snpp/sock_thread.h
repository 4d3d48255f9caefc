#pragma once
// TSockThread: hands a connection accepted by a blocking listener to the
// listener's OnAutoAccept from a thread of its own. The event runs on the
// listener's thread, synchronised through its messages, and the accepted socket
// is freed there afterwards. A thread whose listener is gone ends without
// touching anything: the listener freed its sockets itself.
#include <cstdint>

#include "platform/messages/message_queue.h"

namespace vltg {

class TSock;

class TSockThread {
 public:
  // Starts a thread for `accepted`, a socket that `listener` owns; counts it in
  // the listener's accept threads until the socket is freed.
  static void Start(TSock& listener, TSock& accepted);

 private:
  static constexpr uint32_t kAutoAccept = 1;
  static constexpr uint32_t kTerminate = 2;

  TSockThread(platform::TargetRef listener, TSock* accepted) : listener_(listener), accepted_(accepted) {}
  void Execute();
  // The listener's side of each step, on its thread.
  static void Synchronized(TSock& listener, uint32_t step, TSock* accepted);

  platform::TargetRef listener_;
  TSock* accepted_;
};

}  // namespace vltg
