#pragma once
// The clock behind every timer, countdown and pumping sleep. It is injectable:
// tests install a virtual clock so timed protocols run without real waiting.
#include <atomic>
#include <cstdint>
#include <memory>

namespace vltg::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic milliseconds.
  virtual int64_t NowMs() const = 0;
  // Real milliseconds to wait for `span` clock milliseconds to pass; -1 means
  // "until woken" (the clock moves only when someone advances it).
  virtual int RealWaitMs(int64_t span) const = 0;
  // A thread has nothing to do until `until`. An auto-advancing clock jumps
  // there and returns true; others return false and the thread really waits.
  virtual bool Idle(int64_t until) {
    (void)until;
    return false;
  }
};

// Real time (std::chrono::steady_clock).
class SteadyClock : public Clock {
 public:
  int64_t NowMs() const override;
  int RealWaitMs(int64_t span) const override;
};

// Real time sped up by a factor: every protocol time-out shrinks by it while
// threads, sockets and pseudo-terminals keep working as usual.
class ScaledClock : public Clock {
 public:
  explicit ScaledClock(double factor);
  int64_t NowMs() const override;
  int RealWaitMs(int64_t span) const override;

 private:
  double factor_;
  int64_t start_real_us_;
};

// Virtual time that moves only when told: Advance() from a test thread, or,
// with auto-advance, whenever a pumping thread is idle (it jumps to the next
// deadline, so a 45 s time-out passes at once and every timer tick happens).
class ManualClock : public Clock {
 public:
  explicit ManualClock(bool auto_advance = false, int64_t start_ms = 0);
  int64_t NowMs() const override;
  int RealWaitMs(int64_t span) const override;
  bool Idle(int64_t until) override;
  // Moves time forward and wakes every pumping thread.
  void Advance(int64_t ms);
  void SetAutoAdvance(bool on);

 private:
  std::atomic<int64_t> now_ms_;
  std::atomic<bool> auto_advance_;
};

// The process-wide clock (a SteadyClock until one is installed).
Clock& GetClock();
int64_t NowMs();
// Installs a clock; nullptr restores real time. Clocks once installed stay
// alive until the process ends, so a thread still reading one is safe.
void SetClock(std::shared_ptr<Clock> clock);

// Installs a clock for a scope (a test) and restores the previous one.
class ScopedClock {
 public:
  explicit ScopedClock(std::shared_ptr<Clock> clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  std::shared_ptr<Clock> previous_;
};

}  // namespace vltg::platform
