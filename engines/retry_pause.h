#pragma once
// The pause before the next try at a port that keeps failing (a modem that
// refuses its initialisation, an adapter pulled): 3 s after the first failure
// of a run, doubling with every further one up to a minute, so a device that
// is away costs next to nothing and one that is back serves again soon.
#include <algorithm>
#include <cstdint>

namespace vltg {

class TRetryPause {
 public:
  static constexpr int64_t kFirstMs = 3000;
  static constexpr int64_t kLimitMs = 60000;

  // The pause after the first failure of a run.
  int64_t First() { return FMs = kFirstMs; }
  // The pause after a further failure of the same run.
  int64_t Next() { return FMs = std::min(FMs * 2, kLimitMs); }

 private:
  int64_t FMs = kFirstMs;
};

}  // namespace vltg
