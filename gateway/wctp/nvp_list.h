#pragma once
// Name-value nodes and the list that keeps them sorted by name.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gateway/wctp/object_list.h"

namespace vltg {

struct TNvpNode {
  TNvpNode() = default;
  TNvpNode(std::string name, std::string value) : Name(std::move(name)), Value(std::move(value)) {}
  virtual ~TNvpNode() = default;

  std::string Name;
  std::string Value;
};

// Items in ascending byte order of `Name` (case-sensitive); among equal names
// the newest comes first. T is any type with a `Name` text (`Value` too for
// the value accessors).
template <class T = TNvpNode>
class TNvpList : public TObjectList<T> {
 public:
  // A new item goes after the last item with a smaller name.
  T* Add(std::unique_ptr<T> item) {
    const int at = LowerBound(item->Name);
    return this->Insert(at, std::move(item));
  }

  // Takes the newest item of the item's name's place, or adds the item.
  T* Replace(std::unique_ptr<T> item) {
    const int at = IndexOf(item->Name);
    if (at < 0) return Add(std::move(item));
    this->items_[static_cast<size_t>(at)] = std::move(item);
    return this->Items(at);
  }

  // Replaces the contents with items given in the order they were read; the
  // result is what adding them one by one gives, without its quadratic cost.
  void Assign(std::vector<std::unique_ptr<T>> items) {
    this->Clear();
    std::reverse(items.begin(), items.end());
    std::stable_sort(items.begin(), items.end(),
                     [](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) { return a->Name < b->Name; });
    this->items_ = std::move(items);
  }

  // The index of the newest item of that name, or -1.
  int IndexOf(std::string_view name) const {
    const int at = LowerBound(name);
    return at < this->Count() && this->Items(at)->Name == name ? at : -1;
  }
  T* Find(std::string_view name) const {
    const int at = IndexOf(name);
    return at < 0 ? nullptr : this->Items(at);
  }

  // Empty text for an index out of range or a missing name.
  const std::string& NameAt(int index) const { return InRange(index) ? this->Items(index)->Name : Empty(); }
  const std::string& ValueAt(int index) const { return InRange(index) ? this->Items(index)->Value : Empty(); }
  const std::string& Value(std::string_view name) const {
    const T* item = Find(name);
    return item ? item->Value : Empty();
  }

 private:
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }

  bool InRange(int index) const { return index >= 0 && index < this->Count(); }

  int LowerBound(std::string_view name) const {
    int low = 0;
    int high = this->Count();
    while (low < high) {
      const int mid = low + (high - low) / 2;
      if (std::string_view(this->Items(mid)->Name) < name) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    return low;
  }
};

}  // namespace vltg
