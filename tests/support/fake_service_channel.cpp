#include "tests/support/fake_service_channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "platform/service/service_channel.h"
#include "platform/service/service_database.h"

namespace vltg::testing {

FakeServiceChannel::FakeServiceChannel(std::string_view service_name, const platform::ChannelReply& reply)
    : FakeServiceChannel(service_name, std::vector<Reply>{reply}) {}

FakeServiceChannel::FakeServiceChannel(std::string_view service_name, std::vector<Reply> replies)
    : replies_(std::move(replies)) {
  if (replies_.empty()) throw std::invalid_argument("no reply");
  uint32_t error = 0;
  const auto db = platform::ServiceDatabase::Open(error);
  if (!db) throw std::runtime_error("no service database");
  path_ = db->ChannelPath(service_name);
  listener_ = platform::ListenChannel(path_);
  if (listener_ < 0) throw std::runtime_error("cannot bind " + path_.string());
  thread_ = std::thread([this] { Serve(); });
}

FakeServiceChannel::~FakeServiceChannel() {
  {
    const std::lock_guard lock(mutex_);
    closing_ = true;
    if (hung_ >= 0) ::shutdown(hung_, SHUT_RDWR);  // wakes the wait on an unanswered request
  }
  ::shutdown(listener_, SHUT_RDWR);  // and the blocked accept
  thread_.join();
  ::close(listener_);
  ::unlink(path_.c_str());
}

platform::ChannelReply FakeServiceChannel::State(uint32_t state) {
  platform::ChannelReply reply;
  reply.status.current_state = state;
  return reply;
}

platform::ChannelReply FakeServiceChannel::Error(uint32_t error) {
  platform::ChannelReply reply;
  reply.error = error;
  return reply;
}

void FakeServiceChannel::LetGo() {
  const std::lock_guard lock(mutex_);
  if (hung_ >= 0) ::shutdown(hung_, SHUT_RDWR);
}

bool FakeServiceChannel::WaitForRequests(int count) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::seconds(30), [&] { return requests_ >= count; });
}

void FakeServiceChannel::Serve() {
  for (std::size_t served = 0;;) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0 && errno == EINTR) continue;
    if (fd < 0) return;
    if (platform::ReadChannelRequest(fd, 1000)) {
      if (on_request) on_request();
      const Reply& reply = replies_[std::min(served++, replies_.size() - 1)];
      // Taken, never answered: held until the caller gives up or the channel
      // goes. Held before the request counts as arrived, so a LetGo that
      // follows the arrival always finds it.
      bool hold = false;
      {
        const std::lock_guard lock(mutex_);
        ++requests_;
        if (!reply) {
          hold = !closing_;
          if (hold) hung_ = fd;
        }
      }
      arrived_.notify_all();
      if (reply) {
        platform::WriteChannelReply(fd, *reply, 1000);
      } else {
        for (char byte; hold;) {
          const ssize_t n = ::read(fd, &byte, 1);
          if (n == 0 || (n < 0 && errno != EINTR)) break;
        }
        const std::lock_guard lock(mutex_);
        hung_ = -1;
      }
    }
    ::close(fd);
  }
}

}  // namespace vltg::testing
