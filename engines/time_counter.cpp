#include "engines/time_counter.h"

namespace vltg {

TTimeCounter::TTimeCounter() : FTimer(1000, [this] { Tick(); }) {}

void TTimeCounter::Start() {
  FCounter = FStartValue;
  FTimer.SetEnabled(true);
}

void TTimeCounter::Stop() { FTimer.SetEnabled(false); }

void TTimeCounter::Tick() {
  --FCounter;
  if (FCounter <= 0) FExpired = true;
}

}  // namespace vltg
