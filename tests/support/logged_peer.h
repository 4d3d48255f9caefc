#pragma once
// What the test peers run from a program have in common (tinyproxy, microsocks,
// danted): a temporary directory for their files, a free port of 127.0.0.1
// they listen on, and the log that shows a test what went through them. Each
// peer class writes its own configuration and reads its own log lines.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/peer_process.h"
#include "tests/support/temp_dir.h"

namespace vltg::testing {

class LoggedPeer {
 public:
  LoggedPeer(const LoggedPeer&) = delete;
  LoggedPeer& operator=(const LoggedPeer&) = delete;

  int Port() const { return port_; }
  // All it logged so far.
  std::string Log() const { return dir_.Read(log_); }

 protected:
  // It logs to the file `log` of Dir().
  explicit LoggedPeer(std::string log) : log_(std::move(log)) {}
  ~LoggedPeer() = default;

  // Starts it on a free port, its output in the file `output` of Dir():
  // `start` writes what the port needs and returns the command line. A start
  // that ends before it listens (its port was taken meanwhile) is tried again
  // on another port. Throws, with its output and log, when it never listens.
  void Start(const std::function<std::vector<std::string>(int port)>& start, const std::string& output);
  const TempDir& Dir() const { return dir_; }

 private:
  TempDir dir_;
  std::string log_;
  int port_ = 0;
  std::unique_ptr<PeerProcess> process_;
};

// For each whole line of `text` holding `marker` (a line still being
// written does not count): the rest of the line after it.
std::vector<std::string> LinesAfter(std::string_view text, std::string_view marker);

}  // namespace vltg::testing
