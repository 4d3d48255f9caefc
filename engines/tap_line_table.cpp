#include "engines/tap_line_table.h"

namespace vltg {

std::atomic<TKYRTap*> TTapLineTable::FEntries[TTapLineTable::kEntries];

bool TTapLineTable::Claim(int32_t Instance, TKYRTap* Engine) {
  if (!ValidInstance(Instance) || Engine == nullptr) return false;
  TKYRTap* empty = nullptr;
  return FEntries[Instance].compare_exchange_strong(empty, Engine);
}

void TTapLineTable::Release(int32_t Instance, const TKYRTap* Engine) {
  if (!ValidInstance(Instance)) return;
  TKYRTap* held = const_cast<TKYRTap*>(Engine);
  FEntries[Instance].compare_exchange_strong(held, nullptr);
}

TKYRTap* TTapLineTable::Engine(int32_t Instance) {
  return ValidInstance(Instance) ? FEntries[Instance].load() : nullptr;
}

}  // namespace vltg
