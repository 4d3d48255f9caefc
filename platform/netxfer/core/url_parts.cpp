#include "platform/netxfer/core/url_parts.h"

#include <curl/curl.h>

#include <memory>

#include "platform/base/ascii_text.h"

namespace vltg::platform::netxfer_core {
namespace {

std::string Part(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  std::string out;
  if (curl_url_get(url, part, &text, 0) == CURLUE_OK && text) out = text;
  curl_free(text);
  return out;
}

}  // namespace

UrlParts ReadUrl(const std::string& url) {
  UrlParts parts;
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), &curl_url_cleanup);
  if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return parts;
  parts.scheme = LowerAscii(Part(u.get(), CURLUPART_SCHEME));
  parts.host = Part(u.get(), CURLUPART_HOST);
  parts.port = Part(u.get(), CURLUPART_PORT);
  if (parts.host.size() >= 2 && parts.host.front() == '[' && parts.host.back() == ']') {
    parts.host = parts.host.substr(1, parts.host.size() - 2);
  }
  return parts;
}

}  // namespace vltg::platform::netxfer_core
