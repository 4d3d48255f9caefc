#pragma once
// Turns a core object's property values into libcurl's options for one
// request, and into the route its connection takes. The choices the
// properties leave open:
//   FirewallType: fwTunnel is an HTTP CONNECT tunnel; fwSOCKS4 resolves the
//     server's name here and sends FirewallUser as its user id (it takes no
//     password); fwSOCKS5 lets the firewall resolve the name and logs on with
//     FirewallUser and FirewallPassword when a user is given. FirewallPort 0
//     is the kind's usual port: 80 for a tunnel, 1080 for SOCKS. A firewall
//     stands before the proxy; libcurl can put only a SOCKS firewall there.
//   ProxySSL (the HTTPS core; the HTTP core behaves as psAutomatic):
//     psAutomatic tunnels an https URL through the proxy with CONNECT and
//     hands an http URL to the proxy; psAlways does the same over a TLS
//     connection to the proxy; psNever hands every request to the proxy over
//     a plain connection, so an https URL cannot go; psTunnel tunnels every
//     request.
//   User and Password log on with AuthScheme (basic or digest), and only to
//     the scheme, host and port of the URL the post was made to.
//   Accept replaces the request's Accept header; Range asks for a byte range
//     ("0-99" or "bytes=0-99"); neither may hold a line break.
//   LocalHost, once set, is the address the connection is made from.
// A value libcurl cannot carry out refuses the request with a text that names
// the property.
#include <curl/curl.h>

#include <optional>
#include <string>

#include "platform/netxfer/core/transfer_progress.h"
#include "platform/netxfer/netxfer_abi.h"

namespace vltg::platform::netxfer_core {

struct RequestSettings {
  std::string body, contentType, accept, range;
  std::string user, password;
  NxInt authScheme = 0;  // authBasic, authDigest
  NxInt firewallType = 0;  // fwNone, fwTunnel, fwSOCKS4, fwSOCKS5
  std::string firewallHost, firewallUser, firewallPassword;
  NxInt firewallPort = 0;
  std::string proxyServer, proxyUser, proxyPassword;
  NxInt proxyPort = 0;
  NxInt proxySsl = 0;  // psAutomatic, psAlways, psNever, psTunnel
  std::string localHost;  // empty: any address
  NxInt serverPort = 0;   // stands in for a port the URL does not give
  long timeoutMs = 0;     // 0: no limit
  const char* protocols = "http";
  bool tls = false;       // the HTTPS core: its certificate checks decide
};

struct Refusal {
  NxInt code;
  std::string text;
};

class RequestSetup {
 public:
  RequestSetup() = default;
  ~RequestSetup();
  RequestSetup(const RequestSetup&) = delete;
  RequestSetup& operator=(const RequestSetup&) = delete;

  // Sets a freshly reset `easy` up to post to `url`; credentials go only to
  // the origin of `postedTo`. Nothing when it is ready.
  std::optional<Refusal> Apply(CURL* easy, const RequestSettings& settings, const std::string& url,
                               const std::string& postedTo);
  const ConnectionRoute& Route() const { return route_; }

 private:
  std::optional<Refusal> ApplyRoute(CURL* easy, const RequestSettings& settings, bool httpsUrl);

  curl_slist* headers_ = nullptr;
  curl_slist* proxyHeaders_ = nullptr;
  ConnectionRoute route_;
  CURLcode result_ = CURLE_OK;
};

}  // namespace vltg::platform::netxfer_core
