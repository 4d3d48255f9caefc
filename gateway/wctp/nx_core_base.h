#pragma once
// What the HTTP and the HTTPS component families share at their base: the
// exception text and code, the About property, and CreateException, which
// makes the family's exception for RaiseError to throw.
#include <exception>
#include <string>

#include "platform/base/exception.h"

namespace vltg {

// An error of a core: the description, ": " and the code in decimal.
class ENetXferError : public Exception {
 public:
  ENetXferError(int code, const std::string& description)
      : Exception(description + ": " + std::to_string(code)), code_(code) {}
  int GetCode() const { return code_; }

 private:
  int code_;
};

template <class E>
class TnxCoreBase {
 public:
  TnxCoreBase() = default;
  TnxCoreBase(const TnxCoreBase&) = delete;
  TnxCoreBase& operator=(const TnxCoreBase&) = delete;
  virtual ~TnxCoreBase() = default;

  // Reads non-zero only at design time, which a running program never is.
  int GetAbout() const { return 0; }
  void SetAbout(int) {}

  virtual std::exception_ptr CreateException(int code, const std::string& description) const {
    return std::make_exception_ptr(E(code, description));
  }
  virtual void ShowAbout() = 0;
};

}  // namespace vltg
