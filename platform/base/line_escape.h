#pragma once
// Keeps any text on one line of a line-based file: backslash, tab, CR and LF
// become "\\", "\t", "\r" and "\n", and back.
#include <optional>
#include <string>
#include <string_view>

namespace vltg::platform {

void AppendLineEscaped(std::string& out, std::string_view text);
// Nothing for a stray or unknown escape.
std::optional<std::string> UnescapeLine(std::string_view text);

}  // namespace vltg::platform
