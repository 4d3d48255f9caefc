#pragma once
// The process-wide table of TAP engines by LineInstance: 17 entries, each
// holding one engine or none. An engine holds its entry from InitializeLine
// until it initialises again or is destroyed; the line notifications of
// entry n go to the engine the entry holds (or nowhere).
#include <atomic>
#include <cstdint>

#include "platform/telephony/line_api.h"

namespace vltg {

class TKYRTap;

class TTapLineTable {
 public:
  static constexpr int32_t kEntries = 17;

  static bool ValidInstance(int32_t Instance) { return Instance >= 0 && Instance < kEntries; }
  // Stores the engine in a free entry; false when the entry is taken (by this
  // engine or another) or out of range. Atomic: two threads never both win.
  static bool Claim(int32_t Instance, TKYRTap* Engine);
  // Empties the entry when it holds this engine.
  static void Release(int32_t Instance, const TKYRTap* Engine);
  // The engine in the entry; nullptr when it is empty or out of range.
  static TKYRTap* Engine(int32_t Instance);
  // The notification handler of entry n: hands each notification to the
  // engine the entry holds at that moment, or drops it.
  static platform::LINECALLBACK Callback(int32_t Instance);

 private:
  static std::atomic<TKYRTap*> FEntries[kEntries];
};

}  // namespace vltg
