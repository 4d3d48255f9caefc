#pragma once
// danted (Dante) as a test's SOCKS4 server on 127.0.0.1, taking clients from
// all of 127.0.0.0/8. SOCKS4 only with addresses: Dante does not take SOCKS4a's host
// names (it tries to connect to 0.0.0.x and refuses). Its log shows each
// connection it relayed. It runs as the test's own user, root included: with
// no user.privileged/user.unprivileged it keeps the ids it was started with.
#include <string>
#include <vector>

#include "tests/support/logged_peer.h"

namespace vltg::testing {

class DantePeer : public LoggedPeer {
 public:
  // Throws when it does not start listening.
  DantePeer();

  // "address:port" of each target it connected a client to ("127.0.0.1:8080").
  std::vector<std::string> Connections() const;
};

}  // namespace vltg::testing
