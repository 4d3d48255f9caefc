#include "engines/random_pause.h"

#include <mutex>
#include <random>

#include "platform/messages/message_queue.h"

namespace vltg {

void RandomPause() {
  static std::mutex mutex;
  static std::minstd_rand generator{std::random_device{}()};
  int ms;
  {
    std::lock_guard lock(mutex);
    ms = std::uniform_int_distribution<int>(0, 99)(generator);
  }
  platform::SleepWithoutPumping(ms);
}

}  // namespace vltg
