#pragma once
// A window timer: belongs to the thread that creates it and fires only while
// that thread pumps. Ticks are coalesced (at most one pending tick, however
// long the thread did not pump), and re-enabling an enabled timer keeps its
// phase. Create, use and destroy it on one thread.
#include <cstdint>
#include <functional>
#include <memory>

namespace vltg::platform {

struct TimerState;

class Timer {
 public:
  explicit Timer(int64_t interval_ms = 1000, std::function<void()> on_timer = nullptr);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  int64_t GetInterval() const;
  // A new interval restarts the period of an enabled timer.
  void SetInterval(int64_t ms);
  bool GetEnabled() const;
  // Enabling a stopped timer starts a new period; enabling a running one
  // changes nothing.
  void SetEnabled(bool enabled);
  void SetOnTimer(std::function<void()> on_timer);

 private:
  std::shared_ptr<TimerState> state_;
};

}  // namespace vltg::platform
