#include "manager/model/route_order.h"

#include <algorithm>

namespace vltg::manager {

namespace {

unsigned char Folded(char c) {
  return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

}  // namespace

bool RouteBefore(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (Folded(a[i]) != Folded(b[i])) return Folded(a[i]) < Folded(b[i]);
  }
  // One begins with the other (without regard to case): the longer one first.
  if (a.size() != b.size()) return a.size() > b.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] > b[i];  // 'a' before 'A'
  }
  return false;
}

void SortRoutes(std::vector<RouteLine>& lines) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const RouteLine& a, const RouteLine& b) { return RouteBefore(a.route, b.route); });
}

}  // namespace vltg::manager
