#include "tools/demo_page_request.h"

#include <algorithm>

namespace vltg::testing {

std::optional<DemoPageRequest> ParseDemoPageRequest(std::string_view line, std::string& error) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  for (const char c : line) {
    if (c < 0x20 || c > 0x7E) {
      error = "only printable ASCII can go in a TAP block";
      return std::nullopt;
    }
  }
  const size_t pin_at = line.find_first_not_of(' ');
  if (pin_at == std::string_view::npos) {
    error = "no PIN: the line is \"PIN MESSAGE\"";
    return std::nullopt;
  }
  line.remove_prefix(pin_at);
  const size_t pin_end = std::min(line.find(' '), line.size());
  DemoPageRequest request{std::string(line.substr(0, pin_end)), {}};
  const size_t message_at = line.find_first_not_of(' ', pin_end);
  if (message_at != std::string_view::npos) request.message = line.substr(message_at);
  if (request.pin.size() + request.message.size() > kMaxPinAndMessage) {
    error = "PIN and message are longer than one TAP block holds (" + std::to_string(kMaxPinAndMessage) +
            " characters)";
    return std::nullopt;
  }
  return request;
}

}  // namespace vltg::testing
