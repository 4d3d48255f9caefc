#pragma once
// The texts of a gateway log's lines: what follows each line's time stamp and
// " - ", without the line end.
#include <string>
#include <string_view>
#include <vector>

namespace vltg::testing {

inline std::vector<std::string> LogTextsOf(std::string_view log) {
  std::vector<std::string> texts;
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find("\r\n", at);
    if (end == std::string_view::npos) end = log.size();
    const std::string_view line = log.substr(at, end - at);
    const size_t dash = line.find(" - ");
    if (dash != std::string_view::npos) texts.emplace_back(line.substr(dash + 3));
    at = end + 2;
  }
  return texts;
}

}  // namespace vltg::testing
