#include "datafiles/config_lists.h"

#include "datafiles/config_keys.h"

namespace vltg {

namespace {

constexpr CharFormat k8N1{8, 'N', 1};
constexpr CharFormat k7E1{7, 'E', 1};
constexpr Handshake kNone{false, false};
constexpr Handshake kHardware{true, false};
constexpr Handshake kSoftware{false, true};
constexpr Handshake kBoth{true, true};

template <typename T, std::size_t N>
std::optional<T> At(const T (&list)[N], std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return std::nullopt;
  return list[index];
}

}  // namespace

std::optional<CharFormat> TnppCharFormat(std::int32_t index) {
  static constexpr CharFormat kList[] = {k8N1, k7E1};
  return At(kList, index);
}

std::optional<CharFormat> PortCharFormat(std::int32_t index) {
  static constexpr CharFormat kList[] = {k7E1, k8N1};
  return At(kList, index);
}

std::optional<Handshake> TnppHandshake(std::int32_t index) {
  static constexpr Handshake kList[] = {kHardware, kSoftware, kBoth, kNone};
  return At(kList, index);
}

std::optional<Handshake> PortFlowControl(std::int32_t index) {
  static constexpr Handshake kList[] = {kNone, kHardware, kSoftware, kBoth};
  return At(kList, index);
}

std::optional<std::int32_t> ComSpeedRate(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= kComSpeedRates.size()) return std::nullopt;
  return kComSpeedRates[static_cast<std::size_t>(index)];
}

}  // namespace vltg
