#include "gateway/tnpp_page_queue.h"

namespace vltg {

TTnppPageRecord MakeTnppPageRecord(const std::string& pin, const std::string& protocol, int32_t dest_addr,
                                   uint16_t inertia, const std::string& msg) {
  return TTnppPageRecord{pin.substr(0, 15), protocol.substr(0, 10), dest_addr, inertia, msg};
}

void TTnppPageQueue::Append(TTnppPageRecord record) {
  std::lock_guard lock(mutex_);
  records_.push_back(std::move(record));
  waiter_.Wake();
}

std::optional<TTnppPageRecord> TTnppPageQueue::TakeOldest() {
  std::lock_guard lock(mutex_);
  if (records_.empty()) return std::nullopt;
  TTnppPageRecord record = std::move(records_.front());
  records_.pop_front();
  return record;
}

void TTnppPageQueue::ReturnOldest(TTnppPageRecord record) {
  std::lock_guard lock(mutex_);
  records_.push_front(std::move(record));
}

size_t TTnppPageQueue::Count() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

void TTnppPageQueue::Clear() {
  std::lock_guard lock(mutex_);
  records_.clear();
}

void TTnppPageQueue::SetWaiter(platform::ThreadRef waiter) {
  std::lock_guard lock(mutex_);
  waiter_ = std::move(waiter);
}

void TTnppPageQueue::WakeWaiter() const {
  std::lock_guard lock(mutex_);
  waiter_.Wake();
}

}  // namespace vltg
