#pragma once
// The system's general exception: a message text, as every component raises.
#include <stdexcept>
#include <string>

namespace vltg {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

}  // namespace vltg
