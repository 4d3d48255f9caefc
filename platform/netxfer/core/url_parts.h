#pragma once
// A URL read just far enough for a transfer: scheme, host and port, as
// libcurl's own URL parser sees them.
#include <string>

namespace vltg::platform::netxfer_core {

struct UrlParts {
  std::string scheme;  // lower case
  std::string host;    // without an IPv6 address's brackets
  std::string port;    // as written; empty when the URL gives none
};

// Empty parts for a text that is no URL.
UrlParts ReadUrl(const std::string& url);

}  // namespace vltg::platform::netxfer_core
