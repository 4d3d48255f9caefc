#pragma once
// A local HTTP or HTTPS server on 127.0.0.1 for tests: it serves one
// connection after another on its own thread, keeps each request's raw bytes,
// and answers every request with the same raw reply, or with nothing at all
// (a silent peer) until the client gives up. A slow server serves every
// connection at once and holds each reply back until enough requests are in.
#include <openssl/ssl.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_certificates.h"

namespace vltg::testing {

class LocalHttpServer {
 public:
  struct Options {
    std::string reply;                 // raw bytes sent after each request
    bool silent = false;               // read the request, answer nothing
    std::optional<PemIdentity> tls;    // HTTPS with this identity
    size_t replies_wait_for = 0;       // above 0: no reply before that many requests came
  };

  explicit LocalHttpServer(Options options);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:<port><path>", or https.
  std::string Url(const std::string& path = "/") const;
  // The raw bytes of every complete request received so far.
  std::vector<std::string> Requests() const;

  // A complete HTTP/1.1 reply with a Content-Length and "Connection: close".
  static std::string Reply(const std::string& statusLine, const std::string& body,
                           const std::string& contentType = "text/xml");

 private:
  void Serve();
  void ServeConnection(int client);
  // A slow server's wait before it replies; false when it is told to stop.
  bool WaitForRequests();

  Options options_;
  int listener_ = -1;
  int stop_ = -1;  // eventfd, signalled at destruction
  int port_ = 0;
  SSL_CTX* tls_ = nullptr;
  mutable std::mutex lock_;
  std::vector<std::string> requests_;
  std::condition_variable requests_changed_;
  bool stopping_ = false;
  std::vector<std::thread> connections_;  // a slow server's, one per connection
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens, so a connection is refused.
int UnusedLocalPort();

}  // namespace vltg::testing
