#pragma once
// The WCTP client's result lines: "name=value" texts kept in ascending order
// without regard to ASCII case; a line equal, case aside, to one already held
// is not added.
#include <string>
#include <string_view>
#include <vector>

namespace vltg {

class TResultLines {
 public:
  // False when an equal line is already held.
  bool Add(std::string_view line);
  const std::vector<std::string>& Lines() const { return lines_; }
  bool Empty() const { return lines_.empty(); }
  // Every line followed by CR LF; empty without lines.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace vltg
