#pragma once
// The control channel's requests and replies: one text line each way per
// connection. Pure functions, so the parsing of what a peer sends is tested
// without sockets; anything malformed is refused, never trusted.
//
//   QUERY                 -> STATUS <type> <state> <accepted> <win32> <specific> <checkpoint> <hint> <pid>
//   CONTROL <code>        -> STATUS ... | ERROR <code>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/service/service_types.h"

namespace vltg::platform {

// A line longer than this is not a request or reply of the channel.
inline constexpr std::size_t kMaxChannelLine = 256;

struct ChannelRequest {
  enum class Kind { kQuery, kControl };
  Kind kind = Kind::kQuery;
  uint32_t control = 0;

  bool operator==(const ChannelRequest&) const = default;
};

struct ChannelReply {
  // 0: the status is valid; else the system error code of a refused control.
  uint32_t error = 0;
  ServiceStatus status;

  bool operator==(const ChannelReply&) const = default;
};

// Each line ends in "\n"; the parsers take it with or without.
std::string FormatChannelRequest(const ChannelRequest& request);
std::optional<ChannelRequest> ParseChannelRequest(std::string_view line);
std::string FormatChannelReply(const ChannelReply& reply);
std::optional<ChannelReply> ParseChannelReply(std::string_view line);

}  // namespace vltg::platform
