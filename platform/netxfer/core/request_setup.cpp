#include "platform/netxfer/core/request_setup.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "platform/base/ascii_text.h"
#include "platform/netxfer/core/url_parts.h"

namespace vltg::platform::netxfer_core {
namespace {

enum FirewallType { kNoFirewall, kTunnel, kSocks4, kSocks5 };
enum ProxySsl { kAutomatic, kAlways, kNever, kTunnelAlways };
enum AuthScheme { kBasic, kDigest };

bool HoldsLineBreak(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// "host:port", an IPv6 address in brackets.
std::string HostPort(const std::string& host, long port) {
  const bool bare6 = host.find(':') != std::string::npos && host.front() != '[';
  return (bare6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string Escaped(CURL* easy, const std::string& text) {
  std::unique_ptr<char, decltype(&curl_free)> escaped(
      curl_easy_escape(easy, text.c_str(), static_cast<int>(text.size())), &curl_free);
  return escaped ? escaped.get() : "";
}

long DefaultPort(const std::string& scheme) { return scheme == "https" ? 443 : 80; }

bool AppendLine(curl_slist*& list, const std::string& line) {
  curl_slist* longer = curl_slist_append(list, line.c_str());
  if (longer) list = longer;
  return longer != nullptr;
}

std::string Base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int size = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                   reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(std::max(size, 0)));
  return out;
}

}  // namespace

RequestSetup::~RequestSetup() {
  curl_slist_free_all(headers_);
  curl_slist_free_all(proxyHeaders_);
}

std::optional<Refusal> RequestSetup::Apply(CURL* easy, const RequestSettings& settings, const std::string& url,
                                           const std::string& postedTo) {
  for (const auto& [name, value] : {std::pair<const char*, const std::string&>{"Accept", settings.accept},
                                    {"Range", settings.range},
                                    {"PostContentType", settings.contentType}}) {
    if (HoldsLineBreak(value)) return Refusal{kNxErrorBadValue, std::string(name) + ": a header cannot hold a line break"};
  }
  std::string lines[] = {
      "Expect:",
      settings.contentType.empty() ? "Content-Type:" : "Content-Type: " + settings.contentType,
      settings.accept.empty() ? "" : "Accept: " + settings.accept,
      settings.range.empty() ? ""
      : settings.range.find('=') == std::string::npos ? "Range: bytes=" + settings.range
                                                       : "Range: " + settings.range,
  };
  for (const std::string& line : lines) {
    if (!line.empty() && !AppendLine(headers_, line)) {
      return Refusal{CURLE_OUT_OF_MEMORY, curl_easy_strerror(CURLE_OUT_OF_MEMORY)};
    }
  }

  const UrlParts parts = ReadUrl(url);
  long port = parts.port.empty() ? (settings.serverPort != 0 ? settings.serverPort : DefaultPort(parts.scheme))
                                 : std::atol(parts.port.c_str());
  route_ = ConnectionRoute{};
  route_.serverTls = parts.scheme == "https";
  route_.server = HostPort(parts.host, port);

  result_ = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (result_ == CURLE_OK) result_ = curl_easy_setopt(easy, option, value);
  };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_PROTOCOLS_STR, settings.protocols);
  set(CURLOPT_TIMEOUT_MS, settings.timeoutMs);
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_POST, 1L);
  set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(settings.body.size()));
  set(CURLOPT_POSTFIELDS, settings.body.data());
  set(CURLOPT_HTTPHEADER, headers_);
  // Every request on a connection of its own, so each one meets the certificate check.
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_FORBID_REUSE, 1L);
  // The HTTP core's ServerPort stands in for a port the URL does not give.
  if (settings.serverPort != 0 && parts.port.empty()) set(CURLOPT_PORT, static_cast<long>(settings.serverPort));
  if (result_ != CURLE_OK) return Refusal{result_, curl_easy_strerror(result_)};

  const UrlParts origin = ReadUrl(postedTo);
  if (!settings.user.empty() && origin.scheme == parts.scheme && EqualsIgnoreCase(origin.host, parts.host) &&
      origin.port == parts.port) {
    set(CURLOPT_USERNAME, settings.user.c_str());
    set(CURLOPT_PASSWORD, settings.password.c_str());
    set(CURLOPT_HTTPAUTH, settings.authScheme == kDigest ? CURLAUTH_DIGEST : CURLAUTH_BASIC);
    if (result_ != CURLE_OK) return Refusal{result_, std::string("AuthScheme: ") + curl_easy_strerror(result_)};
  }
  if (!settings.localHost.empty()) {
    set(CURLOPT_INTERFACE, ("host!" + settings.localHost).c_str());
    if (result_ != CURLE_OK) return Refusal{result_, std::string("LocalHost: ") + curl_easy_strerror(result_)};
  }
  if (settings.tls) {
    // libcurl's own checks are off: the core's certificate check decides,
    // through the server-authentication event.
    set(CURLOPT_SSL_VERIFYPEER, 0L);
    set(CURLOPT_SSL_VERIFYHOST, 0L);
    set(CURLOPT_PROXY_SSL_VERIFYPEER, 0L);
    set(CURLOPT_PROXY_SSL_VERIFYHOST, 0L);
    set(CURLOPT_SSL_SESSIONID_CACHE, 0L);
  }
  if (result_ != CURLE_OK) return Refusal{result_, curl_easy_strerror(result_)};
  return ApplyRoute(easy, settings, route_.serverTls);
}

std::optional<Refusal> RequestSetup::ApplyRoute(CURL* easy, const RequestSettings& settings, bool httpsUrl) {
  using Hop = ConnectionRoute::Hop;
  auto refuse = [](const std::string& text) { return Refusal{kNxErrorBadValue, text}; };
  auto set = [&](CURLoption option, auto value) {
    if (result_ == CURLE_OK) result_ = curl_easy_setopt(easy, option, value);
  };
  const bool proxy = !settings.proxyServer.empty();
  const NxInt firewall = settings.firewallType;
  if (firewall != kNoFirewall && settings.firewallHost.empty()) {
    return refuse("FirewallHost: a firewall needs its host");
  }
  if (firewall == kTunnel && proxy) {
    return refuse("FirewallType: only a SOCKS firewall can stand before a proxy, not a tunnel");
  }
  if (firewall == kSocks4 && !settings.firewallPassword.empty()) {
    return refuse("FirewallPassword: a SOCKS4 firewall takes no password");
  }
  const long firewallPort = settings.firewallPort != 0 ? settings.firewallPort : firewall == kTunnel ? 80 : 1080;
  const std::string firewallAt = HostPort(settings.firewallHost, firewallPort);

  // An empty proxy also keeps the environment's proxy variables out.
  std::string proxyUrl;
  if (firewall == kTunnel) {
    route_.hops.push_back({Hop::kTunnelFirewall, false, settings.firewallHost, firewallAt});
    proxyUrl = "http://" + firewallAt;
    set(CURLOPT_HTTPPROXYTUNNEL, 1L);
    if (!settings.firewallUser.empty()) {
      set(CURLOPT_PROXYUSERNAME, settings.firewallUser.c_str());
      set(CURLOPT_PROXYPASSWORD, settings.firewallPassword.c_str());
    }
  } else if (firewall == kSocks4 || firewall == kSocks5) {
    route_.hops.push_back({Hop::kSocksFirewall, false, settings.firewallHost, firewallAt});
    std::string socks = firewall == kSocks4 ? "socks4://" : "socks5h://";
    if (!settings.firewallUser.empty()) {
      socks += Escaped(easy, settings.firewallUser);
      if (firewall == kSocks5) socks += ":" + Escaped(easy, settings.firewallPassword);
      socks += "@";
    }
    proxyUrl = socks + firewallAt;
  }

  if (proxy) {
    const NxInt mode = settings.tls ? settings.proxySsl : NxInt{kAutomatic};
    if (mode == kNever && httpsUrl) {
      return refuse("ProxySSL: psNever hands the request to the proxy as it is, and an https URL cannot go so");
    }
    const bool tunnel = mode == kTunnelAlways || (mode != kNever && httpsUrl);
    const bool tlsProxy = mode == kAlways;
    std::string server = settings.proxyServer;
    if (server.find("://") == std::string::npos) server = (tlsProxy ? "https://" : "http://") + server;
    if (!proxyUrl.empty()) set(CURLOPT_PRE_PROXY, proxyUrl.c_str());
    proxyUrl = server;
    set(CURLOPT_PROXYPORT, static_cast<long>(settings.proxyPort));
    set(CURLOPT_HTTPPROXYTUNNEL, tunnel ? 1L : 0L);
    if (firewall != kNoFirewall && !settings.firewallUser.empty()) {
      // libcurl would log on to the proxy with the SOCKS firewall's user and
      // password: the proxy's own logon (or none) goes as a header of ours.
      if (!AppendLine(proxyHeaders_, settings.proxyUser.empty()
                                         ? "Proxy-Authorization:"
                                         : "Proxy-Authorization: Basic " +
                                               Base64(settings.proxyUser + ":" + settings.proxyPassword))) {
        return Refusal{CURLE_OUT_OF_MEMORY, curl_easy_strerror(CURLE_OUT_OF_MEMORY)};
      }
      set(CURLOPT_PROXYHEADER, proxyHeaders_);
      set(CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    } else if (!settings.proxyUser.empty()) {
      set(CURLOPT_PROXYUSERNAME, settings.proxyUser.c_str());
      set(CURLOPT_PROXYPASSWORD, settings.proxyPassword.c_str());
    }
    const UrlParts at = ReadUrl(server);
    route_.hops.push_back({tunnel ? Hop::kTunnelProxy : Hop::kForwardingProxy, tlsProxy, at.host,
                           HostPort(at.host, at.port.empty() ? settings.proxyPort : std::atol(at.port.c_str()))});
  }
  set(CURLOPT_PROXY, proxyUrl.c_str());
  if (result_ != CURLE_OK) {
    return Refusal{result_, std::string(firewall != kNoFirewall ? "FirewallType: " : "ProxyServer: ") +
                                curl_easy_strerror(result_)};
  }
  return {};
}

}  // namespace vltg::platform::netxfer_core
