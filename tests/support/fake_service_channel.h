#pragma once
// Stands in for a running service on its control channel: every request is
// answered with one fixed reply (a state, or a refusal), so a test can show a
// caller any state, pending ones and failing queries included, without a
// service process.
#include <filesystem>
#include <string_view>
#include <thread>

#include "platform/service/service_channel_protocol.h"

namespace vltg::testing {

class FakeServiceChannel {
 public:
  // Binds the channel of the named service in $VLTG_ROOT's service database.
  FakeServiceChannel(std::string_view service_name, const platform::ChannelReply& reply);
  ~FakeServiceChannel();
  FakeServiceChannel(const FakeServiceChannel&) = delete;
  FakeServiceChannel& operator=(const FakeServiceChannel&) = delete;

  // A reply carrying only a state, or only an error code.
  static platform::ChannelReply State(uint32_t state);
  static platform::ChannelReply Error(uint32_t error);

 private:
  void Serve();

  std::filesystem::path path_;
  platform::ChannelReply reply_;
  int listener_;
  std::thread thread_;
};

}  // namespace vltg::testing
