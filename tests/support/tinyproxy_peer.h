#pragma once
// tinyproxy as a test's HTTP proxy on 127.0.0.1: it forwards absolute-form
// requests ("POST http://127.0.0.1:8080/wctp HTTP/1.1") and opens CONNECT
// tunnels to any port, taking clients from all of 127.0.0.0/8; optionally it
// requires basic proxy authentication. Forwarded requests reach the target
// with "Via: 1.1 tinyproxy (tinyproxy/<version>)". It runs as the test's own
// user, root included (it only warns that no User is set).
//
// tinyproxy 1.11 refuses a client without credentials with "407 Proxy
// Authentication Required", but one with wrong credentials with "401
// Unauthorized"; either closes the connection with a POST's body unread, so
// curl sees the refusal and then a reset (CURLE_RECV_ERROR) unless it tunnels.
#include <string>
#include <vector>

#include "tests/support/logged_peer.h"

namespace vltg::testing {

class TinyproxyPeer : public LoggedPeer {
 public:
  struct Options {
    std::string user;  // set: requires "Proxy-Authorization: Basic" with it
    std::string password;
  };

  // Throws when it does not start listening.
  explicit TinyproxyPeer(Options options = {});

  // The request line of each request it read, refused ones too:
  // "CONNECT 127.0.0.1:4431 HTTP/1.1", "POST http://127.0.0.1:8080/wctp HTTP/1.1".
  std::vector<std::string> Requests() const;
  // "host:port" of each connection it opened to a target, as the client named the host.
  std::vector<std::string> Connections() const;
};

}  // namespace vltg::testing
