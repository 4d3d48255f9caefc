#pragma once
// Base of the HTTPS component and its exception, the SSL twins of nx_core.h.
#include <exception>
#include <string>

#include "platform/base/exception.h"

namespace vltg {

// An error of the HTTPS core: the description, ": " and the code.
class ENetXferSSL : public Exception {
 public:
  ENetXferSSL(int code, const std::string& description)
      : Exception(description + ": " + std::to_string(code)), code_(code) {}
  int GetCode() const { return code_; }

 private:
  int code_;
};

class TnxsCore {
 public:
  TnxsCore() = default;
  TnxsCore(const TnxsCore&) = delete;
  TnxsCore& operator=(const TnxsCore&) = delete;
  virtual ~TnxsCore() = default;

  // Reads non-zero only at design time, which a running program never is.
  int GetAbout() const { return 0; }
  void SetAbout(int) {}

  virtual std::exception_ptr CreateException(int code, const std::string& description) const {
    return std::make_exception_ptr(ENetXferSSL(code, description));
  }
  virtual void ShowAbout() = 0;
};

}  // namespace vltg
