// What an SNPP server sends is untrusted: taken apart into replies as the
// client takes it (continuation lines "nnn-" joined, at most a cap of bytes
// per reply), every reply ends at its first line without the mark, reads the
// same however the bytes arrived, and carries a text without line ends.
// Input: a cap byte (below 128: a cap of 16 plus that many bytes, so overlong
// replies are cheap to reach; else the client's own cap), then the stream.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "gateway/snpp/snpp_parts.h"
#include "tests/support/fuzz_check.h"

using vltg::ReadSnppReply;
using vltg::SnppReply;
using vltg::testing::FuzzCheck;

namespace {

bool IsContinuation(std::string_view line) {
  return line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2])) &&
         line[3] == '-';
}

void CheckComplete(std::string_view received, const SnppReply& reply, size_t cap) {
  FuzzCheck(reply.length > 0 && reply.length <= received.size() && reply.length <= cap);
  const std::string_view taken = received.substr(0, reply.length);
  FuzzCheck(taken.back() == '\n' && taken.ends_with(reply.last_line));
  FuzzCheck(reply.last_line.find('\n') == reply.last_line.size() - 1 && !IsContinuation(reply.last_line));
  // Every line before the last is marked as continued.
  for (size_t at = 0; at < reply.length - reply.last_line.size();) {
    const size_t lf = taken.find('\n', at);
    FuzzCheck(IsContinuation(taken.substr(at, lf + 1 - at)));
    at = lf + 1;
  }
  FuzzCheck(reply.text.find_first_of("\r\n") == std::string::npos);
  std::string tags;
  const std::string text = vltg::SplitSnppTags(reply.last_line, tags);
  FuzzCheck(text.find_first_of("\r\n") == std::string::npos);
  // The bytes arriving one short of the reply's end give no reply yet.
  const SnppReply early = ReadSnppReply(received.substr(0, reply.length - 1), cap);
  FuzzCheck(early.status != SnppReply::Status::kComplete);
  // Nor does what follows it change it.
  const SnppReply alone = ReadSnppReply(taken, cap);
  FuzzCheck(alone.status == SnppReply::Status::kComplete && alone.length == reply.length &&
            alone.text == reply.text && alone.last_line == reply.last_line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t cap = data[0] < 128 ? 16 + data[0] : vltg::kMaxSnppReplyBytes;
  std::string_view received(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (;;) {
    const SnppReply reply = ReadSnppReply(received, cap);
    if (reply.status == SnppReply::Status::kIncomplete) {
      FuzzCheck(received.size() < cap);
      break;
    }
    if (reply.status == SnppReply::Status::kTooLong) {
      FuzzCheck(received.size() >= cap);
      break;
    }
    CheckComplete(received, reply, cap);
    received.remove_prefix(reply.length);
  }
  return 0;
}
