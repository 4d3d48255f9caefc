#include "platform/service/service_channel_protocol.h"

#include <charconv>
#include <vector>

namespace vltg::platform {
namespace {

// The line's words, split at single spaces; nothing for an over-long line or
// one with bytes that no request or reply holds.
std::optional<std::vector<std::string_view>> Words(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.empty() || line.size() > kMaxChannelLine) return std::nullopt;
  std::vector<std::string_view> words;
  while (true) {
    const std::size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    if (word.empty()) return std::nullopt;
    for (char c : word) {
      if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return std::nullopt;
    }
    words.push_back(word);
    if (space == std::string_view::npos) break;
    line.remove_prefix(space + 1);
  }
  return words;
}

std::optional<uint32_t> Number(std::string_view text) {
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string FormatChannelRequest(const ChannelRequest& request) {
  if (request.kind == ChannelRequest::Kind::kQuery) return "QUERY\n";
  return "CONTROL " + std::to_string(request.control) + "\n";
}

std::optional<ChannelRequest> ParseChannelRequest(std::string_view line) {
  const auto words = Words(line);
  if (!words) return std::nullopt;
  if (words->size() == 1 && (*words)[0] == "QUERY") return ChannelRequest{};
  if (words->size() == 2 && (*words)[0] == "CONTROL") {
    const auto code = Number((*words)[1]);
    if (!code) return std::nullopt;
    return ChannelRequest{ChannelRequest::Kind::kControl, *code};
  }
  return std::nullopt;
}

std::string FormatChannelReply(const ChannelReply& reply) {
  if (reply.error != 0) return "ERROR " + std::to_string(reply.error) + "\n";
  const ServiceStatus& s = reply.status;
  std::string out = "STATUS";
  for (uint32_t value : {s.service_type, s.current_state, s.controls_accepted, s.win32_exit_code,
                         s.service_specific_exit_code, s.check_point, s.wait_hint, s.process_id}) {
    out += ' ';
    out += std::to_string(value);
  }
  return out + "\n";
}

std::optional<ChannelReply> ParseChannelReply(std::string_view line) {
  const auto words = Words(line);
  if (!words) return std::nullopt;
  ChannelReply reply;
  if (words->size() == 2 && (*words)[0] == "ERROR") {
    const auto code = Number((*words)[1]);
    if (!code || *code == 0) return std::nullopt;
    reply.error = *code;
    return reply;
  }
  if (words->size() != 9 || (*words)[0] != "STATUS") return std::nullopt;
  ServiceStatus& s = reply.status;
  uint32_t* fields[] = {&s.service_type,     &s.current_state,
                        &s.controls_accepted, &s.win32_exit_code,
                        &s.service_specific_exit_code, &s.check_point,
                        &s.wait_hint,         &s.process_id};
  for (std::size_t i = 0; i < 8; ++i) {
    const auto value = Number((*words)[i + 1]);
    if (!value) return std::nullopt;
    *fields[i] = *value;
  }
  if (s.current_state < SERVICE_STOPPED || s.current_state > SERVICE_PAUSED) return std::nullopt;
  return reply;
}

}  // namespace vltg::platform
