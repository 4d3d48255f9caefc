#pragma once
// A real server program a test talks to (an HTTP proxy, a SOCKS server), run
// as a child in a process group of its own under a small reaper, with its
// standard output and error in a file. At the end the whole group gets
// SIGTERM and every process of it is reaped before the destructor returns,
// however many the program forked (danted runs a dozen); should the test
// process die first, the reaper ends the group all the same.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vltg::testing {

class PeerProcess {
 public:
  // Starts `argv`; argv[0] is looked up in PATH, then /usr/sbin and /sbin.
  // Throws when it is not installed.
  PeerProcess(const std::vector<std::string>& argv, const std::filesystem::path& output);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Waits until something listens on 127.0.0.1:`port`; false when the
  // program ended first or `limit` passed.
  bool WaitListening(int port, std::chrono::milliseconds limit);
  bool Running() const;

  // The program's full path; empty when none is installed.
  static std::string Locate(const std::string& program);

 private:
  int reaper_ = -1;    // also the process group
  int pidfd_ = -1;     // readable once the reaper has ended
  int lifeline_ = -1;  // closing it tells the reaper to end the group
};

}  // namespace vltg::testing
