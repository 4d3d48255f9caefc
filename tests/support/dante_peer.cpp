#include "tests/support/dante_peer.h"

namespace vltg::testing {
namespace {

// Its log has "… tcp/connect [: 127.0.0.2.41234 127.0.0.1.1080 -> 127.0.0.1.35111 127.0.0.1.8080" for
// each connection: client, its own two ends, target. Of each: the target as "address:port", or the
// client's address.
std::vector<std::string> ConnectionEnds(const std::string& log, bool target) {
  std::vector<std::string> ends;
  for (std::string line : LinesAfter(log, " tcp/connect [: ")) {
    line = target ? line.substr(line.rfind(' ') + 1) : line.substr(0, line.find(' '));
    const size_t dot = line.rfind('.');
    if (dot == std::string::npos) continue;
    ends.push_back(target ? line.replace(dot, 1, ":") : line.substr(0, dot));
  }
  return ends;
}

}  // namespace

DantePeer::DantePeer() : DantePeer(Options{}) {}

DantePeer::DantePeer(Options options) : LoggedPeer("danted.log") {
  Start(
      [&](int port) {
        Dir().Write("danted.conf", "logoutput: " + (Dir() / "danted.log").string() + "\ninternal: 127.0.0.1 port = " +
                                       std::to_string(port) +
                                       "\nexternal: 127.0.0.1\n"
                                       "clientmethod: none\nsocksmethod: none\n"
                                       "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  log: error\n}\n"
                                       "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  command: connect\n"
                                       "  proxyprotocol: socks_v4" +
                                       (options.socks5 ? " socks_v5" : "") + "\n  log: connect error\n}\n");
        return std::vector<std::string>{"danted", "-f", (Dir() / "danted.conf").string(), "-p",
                                        (Dir() / "danted.pid").string()};
      },
      "output.txt");
}

std::vector<std::string> DantePeer::Connections() const { return ConnectionEnds(Log(), true); }

std::vector<std::string> DantePeer::Clients() const { return ConnectionEnds(Log(), false); }

}  // namespace vltg::testing
