#pragma once
// The conversion error: a text that is no integer where one is needed.
#include <cstdint>
#include <string>

#include "platform/base/exception.h"

namespace vltg {

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

namespace platform {

// The integer a text holds, read as ParseProfileInteger reads it; anything
// else raises EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);

}  // namespace platform
}  // namespace vltg
