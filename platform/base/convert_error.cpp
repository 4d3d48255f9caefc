#include "platform/base/convert_error.h"

#include "platform/profile/profile_integer.h"

namespace vltg::platform {

std::int32_t StrToInt(const std::string& text) {
  const auto value = ParseProfileInteger(text);
  if (!value) throw EConvertError("'" + text + "' is not a valid integer value");
  return *value;
}

}  // namespace vltg::platform
