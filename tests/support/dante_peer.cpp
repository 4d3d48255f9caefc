#include "tests/support/dante_peer.h"

namespace vltg::testing {
namespace {

// Its log has "… tcp/connect [: 127.0.0.2.41234 127.0.0.1.1080 -> 127.0.0.1.35111 127.0.0.1.8080" for
// each connection: client, its own two ends, target. Of each: the target as "address:port".
std::vector<std::string> Targets(const std::string& log) {
  std::vector<std::string> targets;
  for (std::string line : LinesAfter(log, " tcp/connect [: ")) {
    line = line.substr(line.rfind(' ') + 1);
    const size_t dot = line.rfind('.');
    if (dot != std::string::npos) targets.push_back(line.replace(dot, 1, ":"));
  }
  return targets;
}

}  // namespace

DantePeer::DantePeer() : LoggedPeer("danted.log") {
  Start(
      [&](int port) {
        Dir().Write("danted.conf", "logoutput: " + (Dir() / "danted.log").string() + "\ninternal: 127.0.0.1 port = " +
                                       std::to_string(port) +
                                       "\nexternal: 127.0.0.1\n"
                                       "clientmethod: none\nsocksmethod: none\n"
                                       "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  log: error\n}\n"
                                       "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  command: connect\n"
                                       "  proxyprotocol: socks_v4\n  log: connect error\n}\n");
        return std::vector<std::string>{"danted", "-f", (Dir() / "danted.conf").string(), "-p",
                                        (Dir() / "danted.pid").string()};
      },
      "output.txt");
}

std::vector<std::string> DantePeer::Connections() const { return Targets(Log()); }

}  // namespace vltg::testing
