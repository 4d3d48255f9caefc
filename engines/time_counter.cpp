#include "engines/time_counter.h"

namespace vltg {

TTimeCounter::TTimeCounter() : timer_(1000, [this] { Tick(); }) {}

void TTimeCounter::Start() {
  FCounter = FStartValue;
  timer_.SetEnabled(true);
}

void TTimeCounter::Stop() { timer_.SetEnabled(false); }

void TTimeCounter::Tick() {
  --FCounter;
  if (FCounter <= 0) FExpired = true;
}

}  // namespace vltg
