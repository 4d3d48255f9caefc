// Response header lines from an untrusted HTTP server, one per LF as libcurl
// hands them to the core: each is a status line, a field or neither, and its
// parts put together give the line back.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/netxfer/core/header_line.h"
#include "tests/support/fuzz_check.h"

using vltg::platform::netxfer_core::HeaderLine;
using vltg::platform::netxfer_core::ReadHeaderLine;
using vltg::testing::FuzzCheck;

namespace {

void Check(std::string_view bytes) {
  const HeaderLine line = ReadHeaderLine(bytes);
  std::string_view text = bytes;
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  switch (line.kind) {
    case HeaderLine::Kind::kStatus: {
      FuzzCheck(text.starts_with("HTTP/"));
      FuzzCheck(line.version.find(' ') == std::string::npos);
      FuzzCheck(text == (text.find(' ') == std::string_view::npos ? line.version : line.version + " " + line.status));
      FuzzCheck(line.reason.empty() || line.status.ends_with(" " + line.reason));
      // Leading digits read as their number, held at the largest int.
      int64_t number = 0;
      size_t digits = 0;
      for (; digits < line.status.size() && line.status[digits] >= '0' && line.status[digits] <= '9'; ++digits) {
        number = std::min<int64_t>(number * 10 + (line.status[digits] - '0'), INT_MAX);
      }
      if (digits > 0) FuzzCheck(line.code == number);
      break;
    }
    case HeaderLine::Kind::kField: {
      FuzzCheck(!text.starts_with("HTTP/") && line.field.find(':') == std::string::npos);
      FuzzCheck(line.value.empty() || (line.value[0] != ' ' && line.value[0] != '\t'));
      FuzzCheck(text.starts_with(line.field + ":") && text.ends_with(line.value));
      break;
    }
    case HeaderLine::Kind::kOther:
      FuzzCheck(!text.starts_with("HTTP/") && text.find(':') == std::string_view::npos);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const size_t length = end == std::string_view::npos ? bytes.size() : end + 1;
    Check(bytes.substr(0, length));
    bytes.remove_prefix(length);
  }
  return 0;
}
