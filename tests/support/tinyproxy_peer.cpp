#include "tests/support/tinyproxy_peer.h"

namespace vltg::testing {
namespace {

// "…]: <what> (file descriptor 5): <text>" lines: their texts.
std::vector<std::string> FileDescriptorLines(const std::string& log, const std::string& what) {
  std::vector<std::string> lines = LinesAfter(log, "]: " + what + " (file descriptor ");
  for (auto& line : lines) line.erase(0, line.find("): ") + 3);
  return lines;
}

}  // namespace

TinyproxyPeer::TinyproxyPeer(Options options) : LoggedPeer("tinyproxy.log") {
  Start(
      [&](int port) {
        // No ConnectPort line: CONNECT may reach every port. Info is the
        // level that names each target it connects to.
        std::string config = "Port " + std::to_string(port) +
                             "\nListen 127.0.0.1\nTimeout 60\nMaxClients 50\nAllow 127.0.0.0/8\n"
                             "ViaProxyName \"tinyproxy\"\nLogLevel Info\nLogFile \"" +
                             (Dir() / "tinyproxy.log").string() + "\"\n";
        if (!options.user.empty()) config += "BasicAuth " + options.user + " " + options.password + "\n";
        Dir().Write("tinyproxy.conf", config);
        return std::vector<std::string>{"tinyproxy", "-d", "-c", (Dir() / "tinyproxy.conf").string()};
      },
      "output.txt");
}

std::vector<std::string> TinyproxyPeer::Requests() const { return FileDescriptorLines(Log(), "Request"); }

std::vector<std::string> TinyproxyPeer::Connections() const {
  return LinesAfter(Log(), "]: opensock: opening connection to ");
}

}  // namespace vltg::testing
