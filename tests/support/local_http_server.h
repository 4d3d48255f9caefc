#pragma once
// A local HTTP or HTTPS server on 127.0.0.1 for tests: it serves each
// connection on a thread of its own, keeps each request's raw bytes with the
// connection's details, and answers every request with the same raw reply, a
// reply a test's function makes, or nothing at all (a silent peer) until the
// client gives up. A slow server holds each reply back until enough requests
// are in.
//
// A connection stays open for the client's next request after a reply that
// has a Content-Length and no "Connection: close"; otherwise it ends with the
// reply. With `tunnels` it also stands as a proxy that opens tunnels: a
// CONNECT answered with a 2xx reply relays bytes both ways between the client
// and the host:port it named. Absolute-form requests ("POST http://host/path")
// are recorded and answered like any other, so it serves as a proxy to look at;
// over TLS, as an HTTPS proxy.
#include <openssl/ssl.h>

#include <condition_variable>
#include <functional>
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
  // What the server knows of the connection a request came on.
  struct Connection {
    int number = 0;                  // in the order accepted, from 1
    std::string peer_address;        // the client's address, e.g. "127.0.0.2"
    std::string client_certificate;  // its certificate's subject, RFC 2253 ("CN=gateway one,O=vltg tests"); empty without
  };
  struct ReceivedRequest {
    std::string bytes;  // the raw request, body included
    Connection connection;
  };
  // Makes the raw reply to a complete request; an empty one ends the
  // connection unanswered. Called for one request at a time.
  using Answer = std::function<std::string(const std::string& request, const Connection& connection)>;

  struct Options {
    std::string reply;                 // raw bytes sent after each request
    bool silent = false;               // read the request, answer nothing
    std::optional<PemIdentity> tls;    // HTTPS with this identity
    size_t replies_wait_for = 0;       // above 0: no reply before that many requests came
    Answer answer = nullptr;           // set: makes each reply instead of `reply`
    std::string client_authority = ""; // with tls, a PEM authority: clients must show a certificate it signed
    bool tunnels = false;              // open CONNECT tunnels (answered kTunnelEstablished without `answer`)
  };

  static inline const std::string kTunnelEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";

  explicit LocalHttpServer(Options options);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:<port><path>", or https.
  std::string Url(const std::string& path = "/") const;
  // The raw bytes of every complete request received so far.
  std::vector<std::string> Requests() const;
  // The same, each with its connection's details.
  std::vector<ReceivedRequest> ReceivedRequests() const;

  // A complete HTTP/1.1 reply with a Content-Length and "Connection: close".
  static std::string Reply(const std::string& statusLine, const std::string& body,
                           const std::string& contentType = "text/xml");

 private:
  class Channel;

  void Serve();
  void ServeConnection(int client, int number);
  std::string ReplyTo(const std::string& request, const Connection& connection);
  // Relays between the client and the tunnel's target until either ends.
  void Relay(Channel& client, const std::string& target, std::string early_bytes);
  // A slow server's wait before it replies; false when it is told to stop.
  bool WaitForRequests();

  Options options_;
  int listener_ = -1;
  int stop_ = -1;  // eventfd, signalled at destruction
  int port_ = 0;
  SSL_CTX* tls_ = nullptr;
  mutable std::mutex lock_;
  std::vector<ReceivedRequest> requests_;
  std::condition_variable requests_changed_;
  bool stopping_ = false;
  std::mutex answering_;  // one answer at a time
  std::vector<std::thread> connections_;  // one per connection
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens, so a connection is refused.
int UnusedLocalPort();

}  // namespace vltg::testing
