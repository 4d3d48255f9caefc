#include "gateway/wctp/page_splitter.h"

namespace vltg {

std::vector<std::string> SplitPage(std::string_view message, int32_t maxPartLen) {
  std::string_view rest = message;
  const size_t limit = maxPartLen > 0 ? static_cast<size_t>(maxPartLen) : rest.size() + 1;
  std::vector<std::string> parts;
  do {
    if (rest.size() > limit) {
      // After the last blank among the first `limit` characters, else at the limit.
      const size_t blank = rest.substr(0, limit).rfind(' ');
      const size_t cut = blank == std::string_view::npos ? limit : blank + 1;
      parts.push_back(std::string(rest.substr(0, cut)) + "  (CONT.)");
      rest.remove_prefix(cut);
    } else {
      parts.push_back(std::string(rest) + (parts.empty() ? "" : " (END)"));
      rest = {};
    }
  } while (!rest.empty() && parts.size() < kMaxPageParts);

  if (parts.size() > 1) {
    const std::string of = " of " + std::to_string(parts.size()) + ")  ";
    for (size_t k = 0; k < parts.size(); ++k) parts[k].insert(0, "(" + std::to_string(k + 1) + of);
  }
  return parts;
}

}  // namespace vltg
