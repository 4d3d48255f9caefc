#include "manager/model/serial_lists.h"

#include <array>
#include <string>
#include <vector>

#include "datafiles/config_lists.h"

namespace vltg::manager {

namespace {

// A list's items made at run time: the text `text` makes of what `at` maps
// each position to, from 0 up to the first position it maps to nothing.
class ListTexts {
 public:
  template <typename At, typename Text>
  ListTexts(At at, Text text) {
    for (std::int32_t i = 0; const auto value = at(i); ++i) texts_.push_back(text(*value));
    views_.assign(texts_.begin(), texts_.end());
  }
  ListTexts(const ListTexts&) = delete;
  ListTexts& operator=(const ListTexts&) = delete;
  std::span<const std::string_view> Items() const { return views_; }

 private:
  std::vector<std::string> texts_;
  std::vector<std::string_view> views_;
};

}  // namespace

std::span<const std::string_view> ComPortTexts() {
  static constexpr std::array<std::string_view, 4> kTexts{"COM1", "COM2", "COM3", "COM4"};
  return kTexts;
}

std::span<const std::string_view> ComSpeedTexts() {
  static const ListTexts texts(ComSpeedRate, [](std::int32_t rate) { return std::to_string(rate); });
  return texts.Items();
}

std::span<const std::string_view> PortCharFormatTexts() {
  static const ListTexts texts(PortCharFormat, [](const CharFormat& format) {
    return std::to_string(format.data_bits) + "," + format.parity + "," + std::to_string(format.stop_bits);
  });
  return texts.Items();
}

std::span<const std::string_view> PortFlowControlTexts() {
  static const ListTexts texts(PortFlowControl, [](const Handshake& flow) {
    return std::string(flow.hardware ? (flow.software ? "Both" : "Hardware") : (flow.software ? "Software" : "None"));
  });
  return texts.Items();
}

}  // namespace vltg::manager
