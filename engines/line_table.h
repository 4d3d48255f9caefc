#pragma once
// A process-wide table of telephony line components of one class, by
// LineInstance: 17 entries, each holding one component or none. A component
// holds its entry from its line initialisation until it initialises again or
// is destroyed; the line notifications of entry n go to the component the
// entry holds at that moment (its LineCallback), or nowhere. Each component
// class has a table of its own; a class may have every notification of entry
// n begin with Pause::Before(n), before the entry is looked at.
#include <atomic>
#include <cstdint>

#include "platform/telephony/line_api.h"

namespace vltg {

// Notifications that go straight to their component.
struct TNoLinePause {
  static void Before(int32_t /*Instance*/) {}
};

template <typename Component, typename Pause = TNoLinePause>
class TLineTable {
 public:
  static constexpr int32_t kEntries = 17;

  static bool ValidInstance(int32_t Instance) { return Instance >= 0 && Instance < kEntries; }
  // Stores the component in a free entry; false when the entry is taken (by
  // this component or another) or out of range. Atomic: two threads never
  // both win.
  static bool Claim(int32_t Instance, Component* Holder) {
    if (!ValidInstance(Instance) || Holder == nullptr) return false;
    Component* empty = nullptr;
    return FEntries[Instance].compare_exchange_strong(empty, Holder);
  }
  // Empties the entry when it holds this component.
  static void Release(int32_t Instance, const Component* Holder) {
    if (!ValidInstance(Instance)) return;
    Component* held = const_cast<Component*>(Holder);
    FEntries[Instance].compare_exchange_strong(held, nullptr);
  }
  // The component in the entry; nullptr when it is empty or out of range.
  static Component* Entry(int32_t Instance) { return ValidInstance(Instance) ? FEntries[Instance].load() : nullptr; }
  // The notification handler of entry n.
  static platform::LINECALLBACK Callback(int32_t Instance) {
    return [Instance](uint32_t hDevice, uint32_t dwMessage, uint32_t, uint32_t dwParam1, uint32_t dwParam2, uint32_t) {
      Pause::Before(Instance);
      if (Component* holder = Entry(Instance)) holder->LineCallback(hDevice, dwMessage, dwParam1, dwParam2);
    };
  }

 private:
  static inline std::atomic<Component*> FEntries[kEntries];
};

}  // namespace vltg
