#include "tests/support/fake_service_channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/service/service_channel.h"
#include "platform/service/service_database.h"

namespace vltg::testing {

FakeServiceChannel::FakeServiceChannel(std::string_view service_name, const platform::ChannelReply& reply)
    : reply_(reply) {
  uint32_t error = 0;
  const auto db = platform::ServiceDatabase::Open(error);
  if (!db) throw std::runtime_error("no service database");
  path_ = db->ChannelPath(service_name);
  listener_ = platform::ListenChannel(path_);
  if (listener_ < 0) throw std::runtime_error("cannot bind " + path_.string());
  thread_ = std::thread([this] { Serve(); });
}

FakeServiceChannel::~FakeServiceChannel() {
  ::shutdown(listener_, SHUT_RDWR);  // wakes the blocked accept
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

void FakeServiceChannel::Serve() {
  for (;;) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0 && errno == EINTR) continue;
    if (fd < 0) return;
    if (platform::ReadChannelRequest(fd, 1000)) platform::WriteChannelReply(fd, reply_, 1000);
    ::close(fd);
  }
}

}  // namespace vltg::testing
