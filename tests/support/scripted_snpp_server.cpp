#include "tests/support/scripted_snpp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

namespace vltg::test {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

int ListenLocal(uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("test server: socket");
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), len) < 0 || listen(fd, 16) < 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) < 0) {
    close(fd);
    throw std::runtime_error("test server: bind or listen");
  }
  *port = ntohs(sa.sin_port);
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

SnppAnswer StandardSnppAnswer(const std::string& line) {
  if (line.empty()) return {"220 SNPP Gateway Ready\r\n"};
  if (StartsWith(line, "PAGE")) return {"250 Pager ID Accepted\r\n"};
  if (StartsWith(line, "MESS")) return {"250 Message OK\r\n"};
  if (StartsWith(line, "SEND")) return {"250 Message Sent Successfully\r\n"};
  if (StartsWith(line, "RESE")) return {"250 RESET OK\r\n"};
  if (StartsWith(line, "QUIT")) return {"221 OK, Goodbye\r\n", 0, true};
  return {"500 Command Not Implemented\r\n"};
}

ScriptedSnppServer::ScriptedSnppServer(SnppScript script)
    : script_(script ? std::move(script) : [](size_t, const std::string& line) { return StandardSnppAnswer(line); }) {
  listen_fd_ = ListenLocal(&port_);
  stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedSnppServer::~ScriptedSnppServer() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(stop_fd_, &one, sizeof one);
  thread_.join();
  close(listen_fd_);
  close(stop_fd_);
}

std::vector<std::string> ScriptedSnppServer::Received() {
  std::lock_guard lock(mutex_);
  return received_;
}

size_t ScriptedSnppServer::Connections() {
  std::lock_guard lock(mutex_);
  return received_.size();
}

bool ScriptedSnppServer::WaitForEnded(size_t count, int real_ms) {
  std::unique_lock lock(mutex_);
  return ended_changed_.wait_for(lock, std::chrono::milliseconds(real_ms), [&] { return ended_ >= count; });
}

void ScriptedSnppServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    size_t index;
    {
      std::lock_guard lock(mutex_);
      index = received_.size();
      received_.emplace_back();
    }
    ServeConnection(fd, index);
    close(fd);
    {
      std::lock_guard lock(mutex_);
      ++ended_;
    }
    ended_changed_.notify_all();
  }
}

void ScriptedSnppServer::ServeConnection(int fd, size_t index) {
  if (!Answer(fd, script_(index, ""))) return;
  std::string pending;
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    {
      std::lock_guard lock(mutex_);
      received_[index].append(buffer, static_cast<size_t>(n));
    }
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t lf; (lf = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, lf);
      pending.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!Answer(fd, script_(index, line))) return;
    }
  }
}

// False when the connection is to end.
bool ScriptedSnppServer::Answer(int fd, const SnppAnswer& answer) {
  if (answer.split_at > 0 && answer.split_at < answer.bytes.size()) {
    SendAll(fd, answer.bytes.substr(0, answer.split_at));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SendAll(fd, answer.bytes.substr(answer.split_at));
  } else {
    SendAll(fd, answer.bytes);
  }
  return !answer.close_after;
}

uint16_t UnusedLocalPort() {
  uint16_t port = 0;
  close(ListenLocal(&port));
  return port;
}

size_t OpenDescriptorCount() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

}  // namespace vltg::test
