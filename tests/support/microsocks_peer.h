#pragma once
// microsocks as a test's SOCKS5 server on 127.0.0.1, optionally requiring a
// user and password. It resolves host names itself (SOCKS5 with a domain
// name, as curl's socks5h:// sends), and prints each connection it relays,
// which shows a test that traffic went through it.
#include <string>
#include <vector>

#include "tests/support/logged_peer.h"

namespace vltg::testing {

class MicrosocksPeer : public LoggedPeer {
 public:
  struct Options {
    std::string user;  // set: only clients that give it and the password get through
    std::string password;
  };

  // Throws when it does not start listening.
  explicit MicrosocksPeer(Options options = {});

  // "host:port" of each connection it relayed, as the client named the host
  // ("localhost:8080" for a name, "127.0.0.1:8080" for an address).
  std::vector<std::string> Connections() const;
};

}  // namespace vltg::testing
