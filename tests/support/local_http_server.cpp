#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/http_message.h"

namespace vltg::testing {
namespace {

int BoundSocket(bool listening) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      (listening && listen(fd, 8) != 0)) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("local test server: cannot bind 127.0.0.1");
  }
  return fd;
}

int PortOf(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

X509* ReadCertificate(const std::string& pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  return certificate;
}

SSL_CTX* ServerContext(const PemIdentity& identity, const std::string& client_authority) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  BIO* key = BIO_new_mem_buf(identity.key.data(), static_cast<int>(identity.key.size()));
  X509* x509 = ReadCertificate(identity.certificate);
  EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
  bool ok = context && x509 && pkey && SSL_CTX_use_certificate(context, x509) == 1 &&
            SSL_CTX_use_PrivateKey(context, pkey) == 1;
  X509_free(x509);
  EVP_PKEY_free(pkey);
  BIO_free(key);
  if (ok && !client_authority.empty()) {
    // Only clients with a certificate the authority signed get through the handshake.
    X509* authority = ReadCertificate(client_authority);
    ok = authority && X509_STORE_add_cert(SSL_CTX_get_cert_store(context), authority) == 1 &&
         SSL_CTX_add_client_CA(context, authority) == 1;
    X509_free(authority);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
  }
  if (!ok) {
    SSL_CTX_free(context);
    throw std::runtime_error("local test server: bad TLS identity or client authority");
  }
  return context;
}

std::string PeerAddress(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  char text[INET_ADDRSTRLEN] = "";
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  }
  return text;
}

std::string ClientSubject(SSL* ssl) {
  X509* certificate = SSL_get1_peer_certificate(ssl);
  if (!certificate) return "";
  BIO* bio = BIO_new(BIO_s_mem());
  X509_NAME_print_ex(bio, X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string subject(data, static_cast<size_t>(size));
  BIO_free(bio);
  X509_free(certificate);
  return subject;
}

// A reply that frames its body by length leaves the connection open, unless it says otherwise.
bool KeepsConnection(const std::string& reply) {
  const auto connection = HeaderField(reply, "Connection");
  return HeaderField(reply, "Content-Length") && !(connection && *connection == "close");
}

// A connected socket to "host:port", or -1.
int ConnectTo(const std::string& target) {
  const size_t colon = target.rfind(':');
  if (colon == std::string::npos) return -1;
  std::string host = target.substr(0, colon);
  if (host.size() > 1 && host.front() == '[') host = host.substr(1, host.size() - 2);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), target.substr(colon + 1).c_str(), &hints, &found) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd >= 0 && connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  return fd;
}

}  // namespace

// One client connection, plain or TLS, over a non-blocking socket: every wait
// also ends when the server is told to stop, so no client holds it up.
class LocalHttpServer::Channel {
 public:
  Channel(int fd, int stop, SSL_CTX* tls) : fd_(fd), stop_(stop) {
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    if (tls) {
      ssl_ = SSL_new(tls);
      SSL_set_fd(ssl_, fd_);
    }
  }
  ~Channel() {
    EndSending();
    SSL_free(ssl_);
    ERR_clear_error();
  }
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Tells the client no more bytes come (TLS close_notify, or a plain half close).
  void EndSending() {
    if (ended_) return;
    ended_ = true;
    if (ssl_ && handshaken_) SSL_shutdown(ssl_);
    if (!ssl_) shutdown(fd_, SHUT_WR);
  }

  int fd() const { return fd_; }
  SSL* ssl() const { return ssl_; }
  bool Buffered() const { return ssl_ && SSL_pending(ssl_) > 0; }

  // The TLS handshake, when there is TLS; false when it fails.
  bool Handshake() {
    if (!ssl_) return true;
    handshaken_ = Retry([this] { return SSL_accept(ssl_); }, POLLIN) > 0;
    return handshaken_;
  }

  // Some bytes; 0 when the client has ended, -1 on error or stop.
  int Receive(char* buffer, int size) {
    if (ssl_) return Retry([&] { return SSL_read(ssl_, buffer, size); }, POLLIN);
    return Retry([&] { return static_cast<int>(recv(fd_, buffer, static_cast<size_t>(size), 0)); }, POLLIN);
  }

  bool Send(const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      const int size = static_cast<int>(bytes.size() - sent);
      const int n = ssl_ ? Retry([&] { return SSL_write(ssl_, bytes.data() + sent, size); }, POLLOUT)
                         : Retry([&] { return static_cast<int>(::send(fd_, bytes.data() + sent, size, MSG_NOSIGNAL)); },
                                 POLLOUT);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  // Until the socket is ready for `events`; false when the server stops.
  bool Wait(short events) const {
    pollfd fds[] = {{fd_, events, 0}, {stop_, POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
      if (errno != EINTR) return false;
    }
    return fds[1].revents == 0;
  }

 private:
  // Runs `step` (a read, write or handshake) again after each wait it asks
  // for; a plain socket's step waits for `plain_events`.
  template <typename Step>
  int Retry(Step step, short plain_events) {
    for (;;) {
      const int n = step();
      if (n > 0) return n;
      short events = 0;
      if (ssl_) {
        const int error = SSL_get_error(ssl_, n);
        if (error == SSL_ERROR_ZERO_RETURN) return 0;
        if (error == SSL_ERROR_WANT_READ) events = POLLIN;
        if (error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
      } else if (n == 0) {
        return 0;
      } else if (errno == EAGAIN || errno == EINTR) {
        events = plain_events;
      }
      if (events == 0 || !Wait(events)) return -1;
    }
  }

  int fd_;
  int stop_;
  SSL* ssl_ = nullptr;
  bool handshaken_ = false;
  bool ended_ = false;
};

LocalHttpServer::LocalHttpServer(Options options) : options_(std::move(options)) {
  if (options_.tls) tls_ = ServerContext(*options_.tls, options_.client_authority);
  listener_ = BoundSocket(true);
  port_ = PortOf(listener_);
  stop_ = eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  requests_changed_.notify_all();
  uint64_t one = 1;
  if (write(stop_, &one, sizeof one) < 0) std::abort();
  thread_.join();
  for (auto& connection : connections_) connection.join();
  close(stop_);
  close(listener_);
  SSL_CTX_free(tls_);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LocalHttpServer::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> requests;
  for (const auto& request : requests_) requests.push_back(request.bytes);
  return requests;
}

std::vector<LocalHttpServer::ReceivedRequest> LocalHttpServer::ReceivedRequests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

std::string LocalHttpServer::Reply(const std::string& statusLine, const std::string& body,
                                   const std::string& contentType) {
  return "HTTP/1.1 " + statusLine + "\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void LocalHttpServer::Serve() {
  for (int number = 1;; ++number) {
    pollfd fds[] = {{listener_, POLLIN, 0}, {stop_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    connections_.emplace_back([this, client, number] {
      ServeConnection(client, number);
      close(client);
    });
  }
}

bool LocalHttpServer::WaitForRequests() {
  std::unique_lock<std::mutex> guard(lock_);
  requests_changed_.wait(guard, [this] { return stopping_ || requests_.size() >= options_.replies_wait_for; });
  return !stopping_;
}

std::string LocalHttpServer::ReplyTo(const std::string& request, const Connection& connection) {
  if (options_.answer) {
    std::lock_guard<std::mutex> guard(answering_);
    return options_.answer(request, connection);
  }
  return options_.tunnels && RequestMethod(request) == "CONNECT" ? kTunnelEstablished : options_.reply;
}

void LocalHttpServer::ServeConnection(int client, int number) {
  Channel channel(client, stop_, tls_);
  if (!channel.Handshake()) return;
  const Connection connection{number, PeerAddress(client), channel.ssl() ? ClientSubject(channel.ssl()) : ""};

  std::string pending;  // what came after the requests served so far
  char buffer[4096];
  for (;;) {
    size_t length;
    while ((length = CompleteMessageLength(pending)) == 0) {
      const int got = channel.Receive(buffer, sizeof buffer);
      if (got <= 0) return;
      pending.append(buffer, static_cast<size_t>(got));
    }
    const std::string request = pending.substr(0, length);
    pending.erase(0, length);
    {
      std::lock_guard<std::mutex> guard(lock_);
      requests_.push_back({request, connection});
    }
    requests_changed_.notify_all();

    if (options_.silent || (options_.replies_wait_for > 0 && !WaitForRequests())) {
      // Say nothing until the client hangs up or the server stops.
      while (channel.Receive(buffer, sizeof buffer) > 0) {
      }
      return;
    }
    const std::string reply = ReplyTo(request, connection);
    if (reply.empty() || !channel.Send(reply)) return;
    if (options_.tunnels && RequestMethod(request) == "CONNECT" && reply.rfind("HTTP/1.1 2", 0) == 0) {
      Relay(channel, RequestTarget(request), std::move(pending));
      return;
    }
    if (!KeepsConnection(reply)) return;
  }
}

void LocalHttpServer::Relay(Channel& client, const std::string& target, std::string early_bytes) {
  const int far = ConnectTo(target);
  if (far < 0) return;
  // Each side's end is passed on to the other, and the relay goes on the
  // other way until that side ends too: neither sees its last bytes refused.
  bool from_client = early_bytes.empty() || ::send(far, early_bytes.data(), early_bytes.size(), MSG_NOSIGNAL) > 0;
  bool from_far = true;
  if (!from_client) shutdown(far, SHUT_WR);
  char buffer[16384];
  while (from_client || from_far) {
    pollfd fds[] = {{from_client ? client.fd() : -1, POLLIN, 0}, {from_far ? far : -1, POLLIN, 0}, {stop_, POLLIN, 0}};
    const bool buffered = from_client && client.Buffered();
    if (!buffered && poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[2].revents != 0) break;
    if (buffered || fds[0].revents != 0) {
      const int got = client.Receive(buffer, sizeof buffer);
      if (got <= 0 || ::send(far, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) != got) {
        from_client = false;
        shutdown(far, SHUT_WR);
      }
    }
    if (fds[1].revents != 0) {
      const ssize_t got = recv(far, buffer, sizeof buffer, 0);
      if (got <= 0 || !client.Send(std::string(buffer, static_cast<size_t>(got)))) {
        from_far = false;
        client.EndSending();
      }
    }
  }
  close(far);
}

int UnusedLocalPort() {
  int fd = BoundSocket(false);
  int port = PortOf(fd);
  close(fd);
  return port;
}

}  // namespace vltg::testing
