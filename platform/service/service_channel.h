#pragma once
// The control channel's socket side: a Unix stream socket beside the service's
// record. The starter binds it and hands the listening socket to the service
// process; every request (a query, a control) is one short connection. When
// the process ends, for whatever reason, the kernel closes the socket, so
// nobody listening means the service is stopped.
//
// The waits here are real time: they wait for another process, not for a
// protocol peer of the message layer.
#include <filesystem>
#include <optional>

#include "platform/service/service_channel_protocol.h"

namespace vltg::platform {

// How long a client waits for a running service's answer.
inline constexpr int kChannelReplyTimeoutMs = 5000;

// A listening socket bound at the path (close-on-exec; mode 0600); -1 with
// errno set when it cannot be made. An existing file at the path is an error.
int ListenChannel(const std::filesystem::path& path);
// A connected socket (close-on-exec, non-blocking); -1 with errno set.
// ENOENT or ECONNREFUSED: nobody listens.
int ConnectChannel(const std::filesystem::path& path);

enum class ChannelOutcome {
  kReply,         // the reply arrived
  kNotListening,  // no service holds the channel
  kNoAnswer,      // no reply in time
  kClosed,        // the service closed the connection without a reply
  kFailed,        // a socket error (errno in `error`)
};

// The two halves of an exchange on a connected socket, and both.
ChannelOutcome SendChannelRequest(int fd, const ChannelRequest& request, int timeout_ms, int& error);
ChannelOutcome ReadChannelReply(int fd, int timeout_ms, ChannelReply& reply, int& error);
ChannelOutcome ExchangeOnChannel(int fd, const ChannelRequest& request, int timeout_ms, ChannelReply& reply,
                                 int& error);
// Connects, exchanges and closes.
ChannelOutcome AskChannel(const std::filesystem::path& path, const ChannelRequest& request, int timeout_ms,
                          ChannelReply& reply, int& error);

// Service side, on an accepted socket: the request line (nothing when the
// peer sends garbage, too much or nothing in time) and the reply.
std::optional<ChannelRequest> ReadChannelRequest(int fd, int timeout_ms);
void WriteChannelReply(int fd, const ChannelReply& reply, int timeout_ms);

}  // namespace vltg::platform
