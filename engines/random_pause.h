#pragma once
// A pause of a pseudo-random 0 to 99 ms on the message layer's clock, taken
// where several threads would otherwise start or handle line events at the
// same instant (a worker-thread component's creation, every TAP line
// notification). It is a plain sleep: nothing is dispatched meanwhile, so a
// notification queued behind the one that pauses is not handled ahead of it.
// One generator serves every thread.
namespace vltg {

void RandomPause();

}  // namespace vltg
