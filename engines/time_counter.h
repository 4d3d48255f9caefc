#pragma once
// Countdown in whole seconds on a one-second window timer. The owner sets the
// start value, clears the expired flag, starts it and polls FExpired in its
// own pumping wait loop; it advances only while the creating thread pumps.
#include <cstdint>

#include "platform/messages/timer.h"

namespace vltg {

class TTimeCounter {
 public:
  TTimeCounter();

  // Reloads FCounter and enables the timer. Starting a running countdown keeps
  // the timer's phase, so it then lasts between N-1 and N seconds.
  void Start();
  // Disables the timer; FCounter and FExpired keep their values.
  void Stop();
  // One second has passed.
  void Tick();

  int32_t FCounter = 0;
  int32_t FStartValue = 60;
  bool FExpired = false;  // only the user clears it

 private:
  platform::Timer FTimer;
};

}  // namespace vltg
