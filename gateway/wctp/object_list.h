#pragma once
// A list that owns its items: removing an item or clearing releases it.
#include <memory>
#include <utility>
#include <vector>

namespace vltg {

template <class T>
class TObjectList {
 public:
  TObjectList() = default;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  ~TObjectList() { Clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  T* Items(int index) const { return items_[static_cast<size_t>(index)].get(); }

  T* Insert(int index, std::unique_ptr<T> item) {
    T* raw = item.get();
    items_.insert(items_.begin() + index, std::move(item));
    return raw;
  }
  T* Append(std::unique_ptr<T> item) { return Insert(Count(), std::move(item)); }
  void Delete(int index) { items_.erase(items_.begin() + index); }

  // Releases the items from the last to the first.
  void Clear() {
    while (!items_.empty()) items_.pop_back();
  }

 protected:
  std::vector<std::unique_ptr<T>> items_;
};

}  // namespace vltg
