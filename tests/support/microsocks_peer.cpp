#include "tests/support/microsocks_peer.h"

namespace vltg::testing {
namespace {

constexpr char kLog[] = "microsocks.log";  // what it prints

}  // namespace

MicrosocksPeer::MicrosocksPeer(Options options) : LoggedPeer(kLog) {
  Start(
      [&](int port) {
        std::vector<std::string> argv{"microsocks", "-i", "127.0.0.1", "-p", std::to_string(port)};
        if (!options.user.empty()) argv.insert(argv.end(), {"-u", options.user, "-P", options.password});
        return argv;
      },
      kLog);
}

// It prints "client[4] 127.0.0.2: connected to localhost:8080" for each.
std::vector<std::string> MicrosocksPeer::Connections() const { return LinesAfter(Log(), ": connected to "); }

}  // namespace vltg::testing
