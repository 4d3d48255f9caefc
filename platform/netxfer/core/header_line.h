#pragma once
// One header line of an HTTP response as a core reads it: a status line
// ("HTTP/1.1 200 OK") starts each response, the others are "Field: value".
// Pure: the bytes libcurl hands over in, the parts out.
#include <string>
#include <string_view>

namespace vltg::platform::netxfer_core {

struct HeaderLine {
  enum class Kind { kStatus, kField, kOther };
  Kind kind = Kind::kOther;
  // A status line: "HTTP/1.1", "200 OK", 200 and "OK".
  std::string version;
  std::string status;  // the code and reason as the line has them
  int code = 0;        // the leading number of `status` (held within int); 0 without one
  std::string reason;
  // A field: its name as written and its value without leading blanks.
  std::string field;
  std::string value;
};

// The line without its CR LF.
HeaderLine ReadHeaderLine(std::string_view bytes);

}  // namespace vltg::platform::netxfer_core
