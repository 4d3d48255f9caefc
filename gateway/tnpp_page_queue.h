#pragma once
// The gateway's TNPP page queue: port threads append pages, the TNPP sender
// thread takes the oldest. One lock, held for one append or one take only.
// Each append wakes the thread that waits for pages.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/messages/message_queue.h"

namespace vltg {

struct TTnppPageRecord {
  std::string PIN;        // at most 15 characters
  std::string Protocol;   // the route's transport word, at most 10 characters
  int32_t DestAddr = 0;
  uint16_t Inertia = 0;
  std::string Msg;
};

// A record as the router makes it: PIN and transport word cut to their fields.
TTnppPageRecord MakeTnppPageRecord(const std::string& pin, const std::string& protocol, int32_t dest_addr,
                                   uint16_t inertia, const std::string& msg);

class TTnppPageQueue {
 public:
  void Append(TTnppPageRecord record);
  std::optional<TTnppPageRecord> TakeOldest();
  // Puts a record taken with TakeOldest back in front of the others.
  void ReturnOldest(TTnppPageRecord record);
  size_t Count() const;
  void Clear();

  // The thread an append wakes (none: an empty reference).
  void SetWaiter(platform::ThreadRef waiter);
  void WakeWaiter() const;

 private:
  mutable std::mutex mutex_;
  std::deque<TTnppPageRecord> records_;
  platform::ThreadRef waiter_;
};

}  // namespace vltg
