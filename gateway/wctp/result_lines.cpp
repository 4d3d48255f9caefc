#include "gateway/wctp/result_lines.h"

#include <algorithm>

#include "platform/base/ascii_text.h"

namespace vltg {
namespace {

bool LessIgnoringCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(platform::AsciiLower(x)) < static_cast<unsigned char>(platform::AsciiLower(y));
  });
}

}  // namespace

bool TResultLines::Add(std::string_view line) {
  auto at = std::lower_bound(lines_.begin(), lines_.end(), line,
                             [](const std::string& held, std::string_view l) { return LessIgnoringCase(held, l); });
  if (at != lines_.end() && platform::EqualsIgnoreCase(*at, line)) return false;
  lines_.insert(at, std::string(line));
  return true;
}

std::string TResultLines::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace vltg
