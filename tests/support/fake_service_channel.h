#pragma once
// Stands in for a running service on its control channel: requests are
// answered from a list of replies (a state, a refusal, or none: the request
// is taken and never answered, as by a hung service, until the channel goes),
// the last one for every request after it. A test can so show a caller any
// state, pending ones, failing queries and a service that hangs included,
// without a service process.
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/service/service_channel_protocol.h"

namespace vltg::testing {

class FakeServiceChannel {
 public:
  using Reply = std::optional<platform::ChannelReply>;

  // Binds the channel of the named service in $VLTG_ROOT's service database.
  FakeServiceChannel(std::string_view service_name, const platform::ChannelReply& reply);
  FakeServiceChannel(std::string_view service_name, std::vector<Reply> replies);
  ~FakeServiceChannel();
  FakeServiceChannel(const FakeServiceChannel&) = delete;
  FakeServiceChannel& operator=(const FakeServiceChannel&) = delete;

  // A reply carrying only a state, or only an error code.
  static platform::ChannelReply State(uint32_t state);
  static platform::ChannelReply Error(uint32_t error);

  // Runs on the channel's thread as each request arrives, before its reply.
  // Set it before the first request.
  std::function<void()> on_request;
  int Requests() const { return requests_; }
  // Drops the connection of a request left unanswered, as a service that
  // ends would; the next requests are served.
  void LetGo();
  // Waits (30 s at most) until `count` requests have arrived.
  bool WaitForRequests(int count);

 private:
  void Serve();

  std::filesystem::path path_;
  std::vector<Reply> replies_;
  int listener_;
  bool closing_ = false;  // both under mutex_
  int hung_ = -1;         // the connection of the request left unanswered
  std::atomic<int> requests_{0};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::thread thread_;
};

}  // namespace vltg::testing
