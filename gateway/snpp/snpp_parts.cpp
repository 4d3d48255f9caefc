#include "gateway/snpp/snpp_parts.h"

#include <cstdint>

namespace vltg {
namespace {

std::string WithoutLineEnds(std::string text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
  return text;
}

// The text up to the first blank, which `including_blank` keeps; that text
// and the blank leave `rest`. Nothing when there is no blank.
std::string TakeWord(std::string& rest, bool including_blank) {
  const size_t blank = rest.find(' ');
  if (blank == std::string::npos) return {};
  std::string word = rest.substr(0, including_blank ? blank + 1 : blank);
  rest.erase(0, blank + 1);
  return word;
}

bool IsContinuation(std::string_view line) {
  return line.size() >= 4 && line[0] >= '0' && line[0] <= '9' && line[1] >= '0' && line[1] <= '9' &&
         line[2] >= '0' && line[2] <= '9' && line[3] == '-';
}

}  // namespace

SnppParts SplitSnppMessage(std::string text, size_t pin_length, int max_len) {
  const int64_t pin = static_cast<int64_t>(pin_length);
  const int64_t length = max_len != 0 ? max_len - pin - 6 : static_cast<int64_t>(text.size()) + pin + 7;
  SnppParts result;
  while (!text.empty() && result.parts.size() < kMaxSnppParts) {
    if (static_cast<int64_t>(text.size()) <= length) {
      result.parts.push_back(result.parts.empty() ? text : text + " (END)");
      break;
    }
    // 20 characters are kept for the part number and the suffix.
    const int64_t take = length - 20;
    if (take <= 0) {
      result.parts.clear();
      result.no_room = true;
      break;
    }
    std::string part = text.substr(0, static_cast<size_t>(take));
    const size_t last_blank = part.rfind(' ');
    if (last_blank != std::string::npos) part.resize(last_blank + 1);
    text.erase(0, part.size());
    result.parts.push_back(part + "  (CONT.)");
  }
  return result;
}

std::string SnppReplyText(const std::string& reply) {
  return WithoutLineEnds(reply.size() > 4 ? reply.substr(4) : std::string());
}

SnppReply ReadSnppReply(std::string_view received, size_t max_bytes) {
  SnppReply reply;
  size_t at = 0;
  for (;;) {
    const size_t lf = received.find('\n', at);
    if (lf == std::string_view::npos || lf >= max_bytes) {
      SnppReply unfinished;
      if (received.size() >= max_bytes) unfinished.status = SnppReply::Status::kTooLong;
      return unfinished;
    }
    const std::string line(received.substr(at, lf + 1 - at));
    at = lf + 1;
    if (const std::string text = SnppReplyText(line); !text.empty()) {
      if (!reply.text.empty()) reply.text += ' ';
      reply.text += text;
    }
    if (!IsContinuation(line)) {
      reply.status = SnppReply::Status::kComplete;
      reply.length = at;
      reply.last_line = line;
      return reply;
    }
  }
}

std::string SplitSnppTags(const std::string& reply, std::string& tags) {
  std::string rest = reply.size() > 4 ? reply.substr(4) : std::string();
  tags = TakeWord(rest, true);
  tags += TakeWord(rest, false);
  return WithoutLineEnds(rest);
}

}  // namespace vltg
