#pragma once
// Integers as the configuration files hold them.
#include <cstdint>
#include <optional>
#include <string_view>

namespace vltg::platform {

// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits
// after "$" or "0x". Nothing may follow. Decimal must fit 32 signed bits;
// hexadecimal may use all 32 bits ("$FFFFFFFF" is -1). Anything else, empty
// text included, is no integer.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

}  // namespace vltg::platform
