#pragma once
// Pumping the calling thread's messages until a condition holds, for tests of
// components whose notices arrive only while their thread pumps.
#include <chrono>

#include "platform/messages/message_queue.h"

namespace vltg::test {

// Pumps until `done` holds (true) or `limit` of real time has passed (false).
template <typename Pred>
bool PumpUntil(Pred done, std::chrono::milliseconds limit = std::chrono::milliseconds(3000)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    platform::ProcessMessages();
    platform::SleepPumping(2);
  }
  return true;
}

}  // namespace vltg::test
