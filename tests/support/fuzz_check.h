#pragma once
// A fuzz target's own assertion: stops the run where a property fails, so the
// fuzzer (or the standalone driver under the sanitizers) reports the input.

namespace vltg::testing {

inline void FuzzCheck(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace vltg::testing
