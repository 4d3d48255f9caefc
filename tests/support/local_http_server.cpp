#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

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

SSL_CTX* ServerContext(const PemIdentity& identity) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  BIO* certificate = BIO_new_mem_buf(identity.certificate.data(), static_cast<int>(identity.certificate.size()));
  BIO* key = BIO_new_mem_buf(identity.key.data(), static_cast<int>(identity.key.size()));
  X509* x509 = PEM_read_bio_X509(certificate, nullptr, nullptr, nullptr);
  EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
  bool ok = context && x509 && pkey && SSL_CTX_use_certificate(context, x509) == 1 &&
            SSL_CTX_use_PrivateKey(context, pkey) == 1;
  X509_free(x509);
  EVP_PKEY_free(pkey);
  BIO_free(certificate);
  BIO_free(key);
  if (!ok) {
    SSL_CTX_free(context);
    throw std::runtime_error("local test server: bad TLS identity");
  }
  return context;
}

// Waits until the client is readable or the server is told to stop; false on stop or time-out.
bool WaitReadable(int client, int stop, int milliseconds = 5000) {
  pollfd fds[] = {{client, POLLIN, 0}, {stop, POLLIN, 0}};
  return poll(fds, 2, milliseconds) > 0 && fds[1].revents == 0;
}

}  // namespace

LocalHttpServer::LocalHttpServer(Options options) : options_(std::move(options)) {
  if (options_.tls) tls_ = ServerContext(*options_.tls);
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
  return requests_;
}

std::string LocalHttpServer::Reply(const std::string& statusLine, const std::string& body,
                                   const std::string& contentType) {
  return "HTTP/1.1 " + statusLine + "\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void LocalHttpServer::Serve() {
  for (;;) {
    pollfd fds[] = {{listener_, POLLIN, 0}, {stop_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 || fds[1].revents != 0) return;
    int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    auto serve = [this, client] {
      ServeConnection(client);
      close(client);
    };
    if (options_.replies_wait_for > 0) {
      connections_.emplace_back(serve);
    } else {
      serve();
    }
  }
}

bool LocalHttpServer::WaitForRequests() {
  std::unique_lock<std::mutex> guard(lock_);
  requests_changed_.wait(guard, [this] { return stopping_ || requests_.size() >= options_.replies_wait_for; });
  return !stopping_;
}

void LocalHttpServer::ServeConnection(int client) {
  SSL* ssl = nullptr;
  if (tls_) {
    ssl = SSL_new(tls_);
    SSL_set_fd(ssl, client);
    // The handshake is blocking; the client either completes it or aborts it.
    if (!WaitReadable(client, stop_) || SSL_accept(ssl) != 1) {
      ERR_clear_error();
      SSL_free(ssl);
      return;
    }
  }
  auto receive = [&](char* buffer, int size) -> int {
    if (ssl && SSL_pending(ssl) > 0) return SSL_read(ssl, buffer, size);
    if (!WaitReadable(client, stop_)) return -1;
    return ssl ? SSL_read(ssl, buffer, size) : static_cast<int>(recv(client, buffer, size, 0));
  };
  auto send = [&](const std::string& bytes) {
    if (ssl) {
      SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
    } else {
      ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
  };

  // The request: header lines up to the blank line, then Content-Length bytes.
  std::string request;
  size_t needed = std::string::npos;
  char buffer[4096];
  while (needed == std::string::npos || request.size() < needed) {
    int got = receive(buffer, sizeof buffer);
    if (got <= 0) break;
    request.append(buffer, static_cast<size_t>(got));
    size_t end = request.find("\r\n\r\n");
    if (needed == std::string::npos && end != std::string::npos) {
      size_t length = 0;
      size_t field = request.find("Content-Length: ");
      if (field != std::string::npos && field < end) length = std::strtoul(request.c_str() + field + 16, nullptr, 10);
      needed = end + 4 + length;
    }
  }
  if (needed != std::string::npos && request.size() >= needed) {
    std::lock_guard<std::mutex> guard(lock_);
    requests_.push_back(request);
  }
  requests_changed_.notify_all();

  if (options_.silent || (options_.replies_wait_for > 0 && !WaitForRequests())) {
    // Say nothing until the client hangs up or the server stops.
    while (receive(buffer, sizeof buffer) > 0) {
    }
  } else {
    send(options_.reply);
  }
  if (ssl) {
    SSL_shutdown(ssl);
    SSL_free(ssl);
  }
  ERR_clear_error();
}

int UnusedLocalPort() {
  int fd = BoundSocket(false);
  int port = PortOf(fd);
  close(fd);
  return port;
}

}  // namespace vltg::testing
