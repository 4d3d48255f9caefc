// Set-Cookie values from an untrusted HTTP server: every part the reader gives
// stands in the field as it was written, trimmed of blanks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/netxfer/core/set_cookie.h"
#include "tests/support/fuzz_check.h"

using vltg::platform::netxfer_core::ReadSetCookie;
using vltg::platform::netxfer_core::SetCookie;
using vltg::testing::FuzzCheck;

namespace {

bool Trimmed(const std::string& part) {
  return part.empty() || (part.front() != ' ' && part.front() != '\t' && part.back() != ' ' && part.back() != '\t');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view field(reinterpret_cast<const char*>(data), size);
  const SetCookie cookie = ReadSetCookie(field);
  const std::string_view pair = field.substr(0, field.find(';'));
  // Name and value come from the first pair, the attributes from the rest.
  FuzzCheck(pair.find(cookie.name) != std::string_view::npos && pair.find(cookie.value) != std::string_view::npos);
  FuzzCheck(cookie.name.find_first_of(";=") == std::string::npos && cookie.value.find(';') == std::string::npos);
  for (const std::string* part : {&cookie.expires, &cookie.domain, &cookie.path}) {
    FuzzCheck(part->find(';') == std::string::npos && Trimmed(*part));
    FuzzCheck(part->empty() || field.substr(pair.size()).find(*part) != std::string_view::npos);
  }
  FuzzCheck(Trimmed(cookie.name));
  FuzzCheck(!cookie.secure || field.size() > pair.size());
  return 0;
}
