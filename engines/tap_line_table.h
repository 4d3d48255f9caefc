#pragma once
// The process-wide table of TAP engines by LineInstance (line_table.h). Every
// notification first pauses a pseudo-random 0 to 99 ms (entry 10's twice in
// a row).
#include <cstdint>

#include "engines/line_table.h"
#include "engines/random_pause.h"

namespace vltg {

class TKYRTap;

struct TTapLinePause {
  static void Before(int32_t Instance) {
    RandomPause();
    if (Instance == 10) RandomPause();
  }
};

using TTapLineTable = TLineTable<TKYRTap, TTapLinePause>;

}  // namespace vltg
