#pragma once
// Splitting a text file's bytes into lines.
#include <string_view>
#include <vector>

namespace vltg::platform {

// The lines of a text, without their ends. A line ends in CR LF, LF or CR; a
// final line end does not start another, empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace vltg::platform
