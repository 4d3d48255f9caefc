#include "platform/messages/timer.h"

#include <algorithm>

#include "platform/messages/clock.h"
#include "platform/messages/thread_queue.h"

namespace vltg::platform {

Timer::Timer(int64_t interval_ms, std::function<void()> on_timer) : state_(std::make_shared<TimerState>()) {
  state_->interval_ms = interval_ms;
  state_->on_timer = std::move(on_timer);
  auto queue = CurrentQueueShared();
  state_->queue = queue;
  queue->timers.push_back(state_);
}

Timer::~Timer() {
  state_->enabled = false;
  if (auto queue = state_->queue.lock()) std::erase(queue->timers, state_);
}

int64_t Timer::GetInterval() const { return state_->interval_ms; }

void Timer::SetInterval(int64_t ms) {
  state_->interval_ms = ms;
  if (state_->enabled) state_->next_due = NowMs() + std::max<int64_t>(ms, 1);
}

bool Timer::GetEnabled() const { return state_->enabled; }

void Timer::SetEnabled(bool enabled) {
  if (enabled && !state_->enabled) state_->next_due = NowMs() + std::max<int64_t>(state_->interval_ms, 1);
  state_->enabled = enabled;
}

void Timer::SetOnTimer(std::function<void()> on_timer) { state_->on_timer = std::move(on_timer); }

}  // namespace vltg::platform
