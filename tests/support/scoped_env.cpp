#include "tests/support/scoped_env.h"

#include <cstdlib>

namespace vltg::testing {

namespace {

void Set(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  Set(name_, value);
}

ScopedEnv::~ScopedEnv() { Set(name_, old_); }

}  // namespace vltg::testing
