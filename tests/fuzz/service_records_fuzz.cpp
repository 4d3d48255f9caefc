// The service layer's own files and messages can be damaged or forged: a
// record file, a control request a client sends, a reply a service sends.
// Whatever the bytes, each is refused or taken whole, and what is taken
// writes out and reads back the same.
// Input: a kind byte (0 record, 1 request, 2 reply, modulo 3), then the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/service/service_channel_protocol.h"
#include "platform/service/service_database.h"
#include "tests/support/fuzz_check.h"

using namespace vltg::platform;
using vltg::testing::FuzzCheck;

namespace {

void CheckRecord(std::string_view text) {
  const auto record = ParseServiceRecord(text);
  if (!record) return;
  FuzzCheck(ValidateServiceName(record->config.service_name) == 0);
  const std::string formatted = FormatServiceRecord(*record);
  FuzzCheck(ParseServiceRecord(formatted) == record);
  // Its files lie in the database's directory.
  const std::string stem = ServiceFileStem(record->config.service_name);
  FuzzCheck(!stem.empty() && stem.size() <= 64 && stem.find_first_of(std::string("/\0", 2)) == std::string::npos);
}

// A channel message is one line of at most kMaxChannelLine bytes.
void CheckLine(const std::string& formatted) {
  FuzzCheck(formatted.size() <= kMaxChannelLine + 1 && formatted.back() == '\n');
  FuzzCheck(formatted.find('\n') == formatted.size() - 1);
}

void CheckRequest(std::string_view line) {
  const auto request = ParseChannelRequest(line);
  if (!request) return;
  const std::string formatted = FormatChannelRequest(*request);
  CheckLine(formatted);
  FuzzCheck(ParseChannelRequest(formatted) == request);
}

void CheckReply(std::string_view line) {
  const auto reply = ParseChannelReply(line);
  if (!reply) return;
  FuzzCheck(reply->error != 0 ||
            (reply->status.current_state >= SERVICE_STOPPED && reply->status.current_state <= SERVICE_PAUSED));
  const std::string formatted = FormatChannelReply(*reply);
  CheckLine(formatted);
  FuzzCheck(ParseChannelReply(formatted) == reply);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: CheckRecord(bytes); break;
    case 1: CheckRequest(bytes); break;
    default: CheckReply(bytes); break;
  }
  return 0;
}
