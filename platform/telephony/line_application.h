#pragma once
// One line application (one lineInitialize): its callback and the queue of
// notifications waiting for the thread that initialised it. They reach the
// callback one per dispatch, in order, and only while that thread pumps.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/messages/message_queue.h"
#include "platform/telephony/line_api.h"

namespace vltg::platform {

struct LineNotification {
  uint32_t device, message, instance, param1, param2, param3;
  HLINE line;  // whose notification it is, for the purge at close
  HCALL call;  // the call it is about, 0 for none
};

class LineApplication : public std::enable_shared_from_this<LineApplication> {
 public:
  // Call on the thread that is to receive the notifications.
  static std::shared_ptr<LineApplication> Create(LINECALLBACK callback);

  // Any thread: queues the notification and wakes the application's thread.
  void Queue(const LineNotification& note);
  // Takes queued notifications out: all of a line's (call 0), or a call's
  // call states.
  void Purge(HLINE line, HCALL call);
  // Drops what is queued; nothing is delivered any more.
  void Close();

 private:
  explicit LineApplication(LINECALLBACK callback) : callback_(std::move(callback)) {}
  void DeliverOne();

  LINECALLBACK callback_;
  std::mutex mutex_;
  std::deque<LineNotification> pending_;
  std::unique_ptr<MessageTarget> target_;
};

}  // namespace vltg::platform
