#include "platform/service/service_channel_protocol.h"

#include <gtest/gtest.h>

namespace vltg::platform {
namespace {

TEST(ServiceChannelProtocolTest, RequestsAndRepliesRoundTrip) {
  const ChannelRequest control{ChannelRequest::Kind::kControl, 255};
  EXPECT_EQ(ParseChannelRequest(FormatChannelRequest(control)), control);
  EXPECT_EQ(ParseChannelRequest("QUERY"), ChannelRequest{});

  ChannelReply reply;
  reply.status = ServiceStatus{0x110, SERVICE_STOP_PENDING, 5, 1066, 42, 3, 5000, 4242};
  EXPECT_EQ(ParseChannelReply(FormatChannelReply(reply)), reply);
  ChannelReply refused;
  refused.error = 1052;
  EXPECT_EQ(ParseChannelReply(FormatChannelReply(refused)), refused);
}

TEST(ServiceChannelProtocolTest, RefusesAnythingElse) {
  for (const char* line : {"", "\n", "query", "QUERY ", " QUERY", "QUERY\n\n", "CONTROL", "CONTROL -1",
                           "CONTROL 4294967296", "CONTROL 1 2", "CONTROL  1", "CONTROL 0x1", "QUERY\r\n"}) {
    EXPECT_FALSE(ParseChannelRequest(line)) << line;
  }
  EXPECT_FALSE(ParseChannelRequest("CONTROL " + std::string(300, '1')));
  for (const char* line : {"STATUS 1 2 3", "STATUS 16 0 0 0 0 0 0 0", "STATUS 16 8 0 0 0 0 0 0", "ERROR 0",
                           "ERROR", "STATUS 16 4 0 0 0 0 0 0 0", "OK"}) {
    EXPECT_FALSE(ParseChannelReply(line)) << line;
  }
}

}  // namespace
}  // namespace vltg::platform
