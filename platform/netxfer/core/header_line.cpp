#include "platform/netxfer/core/header_line.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vltg::platform::netxfer_core {

HeaderLine ReadHeaderLine(std::string_view bytes) {
  while (!bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n')) bytes.remove_suffix(1);
  const std::string line(bytes);
  HeaderLine out;
  if (line.rfind("HTTP/", 0) == 0) {
    out.kind = HeaderLine::Kind::kStatus;
    const size_t codeAt = line.find(' ');
    out.version = line.substr(0, codeAt);
    out.status = codeAt == std::string::npos ? std::string() : line.substr(codeAt + 1);
    const size_t reasonAt = out.status.find(' ');
    out.reason = reasonAt == std::string::npos ? std::string() : out.status.substr(reasonAt + 1);
    // As atoi would read it, but a number out of range is held at the limit
    // instead of being undefined (a status "4294967496" must not read as 200).
    const long code = std::strtol(out.status.c_str(), nullptr, 10);
    out.code = static_cast<int>(std::clamp<long>(code, INT_MIN, INT_MAX));
  } else if (const size_t colon = line.find(':'); colon != std::string::npos) {
    out.kind = HeaderLine::Kind::kField;
    const size_t valueAt = line.find_first_not_of(" \t", colon + 1);
    out.field = line.substr(0, colon);
    out.value = valueAt == std::string::npos ? std::string() : line.substr(valueAt);
  }
  return out;
}

}  // namespace vltg::platform::netxfer_core
