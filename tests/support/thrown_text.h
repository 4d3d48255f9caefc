#pragma once
// The message of the exception a call raises, for tests of error texts.
#include <gtest/gtest.h>

#include <string>

#include "platform/base/exception.h"

namespace vltg::test {

// The message of the E that `f` raises; a test failure when it raises none.
template <typename E = Exception, typename F>
std::string ThrownText(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  ADD_FAILURE() << "nothing raised";
  return {};
}

}  // namespace vltg::test
