#include "tests/support/logged_peer.h"

#include <chrono>
#include <stdexcept>

#include "tests/support/local_http_server.h"

namespace vltg::testing {
namespace {

constexpr int kAttempts = 3;
constexpr std::chrono::seconds kStartLimit{60};  // to listen, however loaded the machine

}  // namespace

void LoggedPeer::Start(const std::function<std::vector<std::string>(int port)>& start, const std::string& output) {
  std::string name;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    port_ = UnusedLocalPort();
    const std::vector<std::string> argv = start(port_);
    name = argv.at(0);
    process_ = std::make_unique<PeerProcess>(argv, dir_ / output);
    if (process_->WaitListening(port_, kStartLimit)) return;
    if (process_->Running()) break;  // alive, yet not listening: no other port will help
  }
  throw std::runtime_error(name + " did not listen on 127.0.0.1. It wrote:\n" + dir_.Read(output) +
                           (log_ == output ? "" : "\nIts log:\n" + Log()));
}

std::vector<std::string> LinesAfter(std::string_view text, std::string_view marker) {
  std::vector<std::string> found;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string_view::npos;) {  // whole lines only
    const std::string_view line = text.substr(start, end - start);
    if (const size_t at = line.find(marker); at != std::string_view::npos) {
      found.emplace_back(line.substr(at + marker.size()));
    }
    start = end + 1;
  }
  return found;
}

}  // namespace vltg::testing
