#pragma once
// Waiting for an event in real time, with a deadline generous enough for a
// loaded machine: pumping the calling thread's messages (for components whose
// notices arrive only while their thread pumps), or only looking (for a
// thread with nothing to pump, such as a simulated caller).
#include <chrono>
#include <thread>

#include "platform/messages/message_queue.h"

namespace vltg::test {

inline constexpr std::chrono::milliseconds kEventLimit{30000};

// Pumps until `done` holds (true) or `limit` of real time has passed (false).
template <typename Pred>
bool PumpUntil(Pred done, std::chrono::milliseconds limit = kEventLimit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    platform::ProcessMessages();
    platform::SleepPumping(2);
  }
  return true;
}

// Looks at `done` every real millisecond, without pumping and whatever clock
// is installed, until it holds (true) or `limit` of real time has passed.
template <typename Pred>
bool PollUntil(Pred done, std::chrono::milliseconds limit = kEventLimit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace vltg::test
