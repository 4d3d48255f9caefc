#include "platform/messages/clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/messages/message_queue.h"

namespace vltg::platform {
namespace {

int64_t RealUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int ClampMs(double ms) {
  if (ms <= 0) return 0;
  const double up = std::ceil(ms);
  return up > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(up);
}

struct ClockRegistry {
  std::mutex mutex;
  std::shared_ptr<Clock> current;
  std::vector<std::shared_ptr<Clock>> installed;  // kept alive for late readers
  SteadyClock steady;
};

// The installed clock, read on every clock look: constant-initialised, so no
// guard stands in front of it.
std::atomic<Clock*> g_active{nullptr};

ClockRegistry& Registry() {
  static ClockRegistry* registry = new ClockRegistry;  // never destroyed: threads may outlive statics
  return *registry;
}

std::shared_ptr<Clock> CurrentShared() {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  return r.current;
}

}  // namespace

int64_t SteadyClock::NowMs() const { return RealUs() / 1000; }

int SteadyClock::RealWaitMs(int64_t span) const { return ClampMs(static_cast<double>(span)); }

ScaledClock::ScaledClock(double factor) : factor_(factor > 0 ? factor : 1.0), start_real_us_(RealUs()) {}

int64_t ScaledClock::NowMs() const {
  return static_cast<int64_t>(static_cast<double>(RealUs() - start_real_us_) * factor_ / 1000.0);
}

int ScaledClock::RealWaitMs(int64_t span) const { return ClampMs(static_cast<double>(span) / factor_); }

ManualClock::ManualClock(bool auto_advance, int64_t start_ms) : now_ms_(start_ms), auto_advance_(auto_advance) {}

int64_t ManualClock::NowMs() const { return now_ms_.load(); }

int ManualClock::RealWaitMs(int64_t) const { return -1; }

bool ManualClock::Idle(int64_t until) {
  if (!auto_advance_.load()) return false;
  int64_t now = now_ms_.load();
  while (until > now && !now_ms_.compare_exchange_weak(now, until)) {
  }
  WakeOtherThreads();
  return true;
}

void ManualClock::Advance(int64_t ms) {
  now_ms_.fetch_add(ms);
  WakeAllThreads();
}

void ManualClock::SetAutoAdvance(bool on) {
  auto_advance_.store(on);
  WakeAllThreads();
}

Clock& GetClock() {
  Clock* clock = g_active.load(std::memory_order_acquire);
  return clock ? *clock : Registry().steady;
}

int64_t NowMs() { return GetClock().NowMs(); }

void SetClock(std::shared_ptr<Clock> clock) {
  auto& r = Registry();
  {
    std::lock_guard lock(r.mutex);
    if (clock) r.installed.push_back(clock);
    r.current = clock;
    g_active.store(clock.get(), std::memory_order_release);
  }
  WakeAllThreads();
}

ScopedClock::ScopedClock(std::shared_ptr<Clock> clock) : previous_(CurrentShared()) { SetClock(std::move(clock)); }

ScopedClock::~ScopedClock() { SetClock(previous_); }

}  // namespace vltg::platform
