#pragma once
// Splitting a page's message into the texts the WCTP client submits one by
// one: parts of at most `maxPartLen` characters, cut after the last blank that
// fits, marked "  (CONT.)" and " (END)", numbered "(k of n)  " when there are
// several; at most 20 parts, the rest of a longer message is dropped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vltg {

inline constexpr int kMaxPageParts = 20;

// Always at least one text (an empty message gives one empty text).
// `maxPartLen` 0 or less keeps the message whole.
std::vector<std::string> SplitPage(std::string_view message, int32_t maxPartLen);

}  // namespace vltg
