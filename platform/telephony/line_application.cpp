#include "platform/telephony/line_application.h"

#include <algorithm>

#include "platform/telephony/tapi_constants.h"

namespace vltg::platform {
namespace {

// The posted message that tells the application's thread a notification waits.
constexpr uint32_t kNotificationWaiting = 0x7E01;

}  // namespace

std::shared_ptr<LineApplication> LineApplication::Create(LINECALLBACK callback) {
  std::shared_ptr<LineApplication> app(new LineApplication(std::move(callback)));
  app->target_ = std::make_unique<MessageTarget>([weak = app->weak_from_this()](uint32_t, uintptr_t, intptr_t) {
    if (const auto app = weak.lock()) app->DeliverOne();
    return intptr_t{0};
  });
  return app;
}

void LineApplication::Queue(const LineNotification& note) {
  std::lock_guard lock(mutex_);
  if (!target_) return;
  pending_.push_back(note);
  target_->Post(kNotificationWaiting);
}

// One notification per posted message; one that finds the queue empty (its
// notification was purged) does nothing.
void LineApplication::DeliverOne() {
  LineNotification note;
  {
    std::lock_guard lock(mutex_);
    if (pending_.empty()) return;
    note = pending_.front();
    pending_.pop_front();
  }
  // No lock while the callback runs: it may pump, or shut the application down.
  callback_(note.device, note.message, note.instance, note.param1, note.param2, note.param3);
}

void LineApplication::Purge(HLINE line, HCALL call) {
  std::lock_guard lock(mutex_);
  std::erase_if(pending_, [&](const LineNotification& n) {
    return call ? n.call == call && n.message == LINE_CALLSTATE : n.line == line;
  });
}

void LineApplication::Close() {
  std::unique_ptr<MessageTarget> target;
  {
    std::lock_guard lock(mutex_);
    pending_.clear();
    target = std::move(target_);
  }
}

}  // namespace vltg::platform
