#pragma once
// A scripted SNPP server on 127.0.0.1 for tests. It serves one connection at a
// time in a thread of its own: a script chooses the answer to the connection's
// start (the greeting) and to each command line, and every byte each client
// sent is kept.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vltg::test {

struct SnppAnswer {
  std::string bytes;         // sent as they stand; empty: no answer
  size_t split_at = 0;       // above 0: that many bytes, a pause, then the rest
  bool close_after = false;  // the server closes the connection after answering
};

// Called with an empty line when a connection starts, then with each command
// line the client sends (without its line end); `connection` counts from 0.
using SnppScript = std::function<SnppAnswer(size_t connection, const std::string& line)>;

// A willing one-way server: "220" greeting; "250" to PAGE, MESS, SEND and
// RESE; "500" to anything else (2WAY too); "221" and a close to QUIT.
SnppAnswer StandardSnppAnswer(const std::string& line);

class ScriptedSnppServer {
 public:
  explicit ScriptedSnppServer(SnppScript script = nullptr);
  ~ScriptedSnppServer();
  ScriptedSnppServer(const ScriptedSnppServer&) = delete;
  ScriptedSnppServer& operator=(const ScriptedSnppServer&) = delete;

  uint16_t Port() const { return port_; }
  std::string PortName() const { return std::to_string(port_); }
  // Every byte received, one string per connection.
  std::vector<std::string> Received();
  size_t Connections();
  // Waits up to `real_ms` until `count` connections have ended.
  bool WaitForEnded(size_t count, int real_ms = 30000);

 private:
  void Serve();
  void ServeConnection(int fd, size_t index);
  bool Answer(int fd, const SnppAnswer& answer);

  SnppScript script_;
  int listen_fd_ = -1;
  int stop_fd_ = -1;
  uint16_t port_ = 0;
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  std::vector<std::string> received_;
  size_t ended_ = 0;
  std::thread thread_;
};

// A local TCP port on which nothing listens: connecting to it is refused.
uint16_t UnusedLocalPort();

// The number of descriptors this process has open.
size_t OpenDescriptorCount();

}  // namespace vltg::test
