#include "platform/netxfer/core/transfer_progress.h"

#include "platform/base/ascii_text.h"
#include "platform/netxfer/core/set_cookie.h"

namespace vltg::platform::netxfer_core {
namespace {

constexpr const char* kFirewallDone = "Firewall connection complete";
constexpr const char* kProxyDone = "Proxy connection complete";
constexpr const char* kTunnelDone = "Proxy tunnel complete";
constexpr const char* kTlsDone = "SSL handshake complete";
constexpr const char* kRemoteDone = "Remote host connection complete";

}  // namespace

void TransferProgress::Begin(const ConnectionRoute& route, size_t bodyBytes) {
  route_ = route;
  bodyBytes_ = bodyBytes;
  steps_.clear();
  connecting_ = connected_ = requestOut_ = sending_.open = receiving_.open = false;
  responseCode_ = 0;
}

void TransferProgress::SocketOpened() {
  if (connected_) Disconnect(0, "");
  if (connecting_) return;  // another address of the same connection
  connecting_ = true;
  using Kind = PendingStep::Kind;
  using Hop = ConnectionRoute::Hop;
  steps_.clear();
  for (const ConnectionRoute::Step& step : route_.hops) {
    if (step.tls) steps_.push_back({Kind::kTls, true, kTlsDone, step.where});
    switch (step.hop) {
      case Hop::kSocksFirewall:
        steps_.push_back({Kind::kQuiet, false, kFirewallDone, step.where});
        break;
      case Hop::kTunnelFirewall:
        steps_.push_back({Kind::kTunnel, false, kFirewallDone, step.where});
        break;
      case Hop::kForwardingProxy:
        steps_.push_back({Kind::kQuiet, false, kProxyDone, step.where});
        break;
      case Hop::kTunnelProxy:
        steps_.push_back({Kind::kTunnel, false, kTunnelDone, step.where});
        break;
    }
  }
  if (route_.serverTls) steps_.push_back({Kind::kTls, false, kTlsDone, route_.server});
}

void TransferProgress::Connected(const std::string& remote, int remotePort) {
  CompleteSteps(steps_.size());
  events_.ConnectionStatus(kRemoteDone, 0, route_.server);
  connecting_ = false;
  connected_ = true;
  events_.Connected(0, "Connected to " + remote + ":" + std::to_string(remotePort));
}

void TransferProgress::Reach(PendingStep::Kind kind, bool proxyTls, bool including) {
  for (size_t i = 0; i < steps_.size(); ++i) {
    if (steps_[i].kind == kind && (kind != PendingStep::Kind::kTls || steps_[i].proxyTls == proxyTls)) {
      CompleteSteps(including ? i + 1 : i);
      return;
    }
  }
}

void TransferProgress::CompleteSteps(size_t count) {
  for (size_t i = 0; i < count && i < steps_.size(); ++i) {
    events_.ConnectionStatus(steps_[i].event, 0, steps_[i].where);
  }
  steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(std::min(count, steps_.size())));
}

void TransferProgress::HeadersOut() {
  if (!connected_) {
    Reach(PendingStep::Kind::kTunnel, false, false);  // a CONNECT request
    return;
  }
  if (requestOut_) return;  // the rest of the same headers
  requestOut_ = true;
  Close(receiving_);
  Open(sending_);
  if (bodyBytes_ == 0) Close(sending_);
}

void TransferProgress::BodyOut(std::string_view piece) {
  if (!connected_ || piece.empty()) return;
  Carry(sending_, piece);
  if (sending_.bytes >= bodyBytes_) Close(sending_);
}

void TransferProgress::TlsStarted(bool proxy) {
  if (!connected_) Reach(PendingStep::Kind::kTls, proxy, false);
}

void TransferProgress::TlsDone(bool proxy) {
  if (!connected_) Reach(PendingStep::Kind::kTls, proxy, true);
}

HeaderLine TransferProgress::ResponseLine(std::string_view bytes) {
  HeaderLine line = ReadHeaderLine(bytes);
  if (!connected_) {
    if (line.kind == HeaderLine::Kind::kStatus && line.code >= 200 && line.code <= 299) {
      Reach(PendingStep::Kind::kTunnel, false, true);
    }
    return {};
  }
  switch (line.kind) {
    case HeaderLine::Kind::kStatus:
      Close(sending_);
      Close(receiving_);
      requestOut_ = false;
      responseCode_ = line.code;
      events_.Status(line.version, line.code, line.reason);
      break;
    case HeaderLine::Kind::kField:
      events_.Header(line.field, line.value);
      if (EqualsIgnoreCase(line.field, "Set-Cookie")) events_.Cookie(ReadSetCookie(line.value));
      break;
    case HeaderLine::Kind::kOther:
      // The blank line: the headers of a final response are complete.
      if (TrimBlanks(bytes.substr(0, bytes.find_first_of("\r\n"))).empty() && responseCode_ >= 200) {
        Open(receiving_);
      }
      break;
  }
  return line;
}

void TransferProgress::BodyIn(std::string_view piece) { Carry(receiving_, piece); }

void TransferProgress::Finish(int code, const std::string& text) {
  Close(sending_);
  Close(receiving_);
  if (connected_) {
    Disconnect(code, code == 0 ? std::string() : text);
  } else if (code != 0) {
    events_.Connected(code, text);
  }
  connecting_ = false;
  steps_.clear();
}

void TransferProgress::Open(Flow& flow) {
  if (flow.open) return;
  flow.open = true;
  flow.bytes = 0;
  events_.StartTransfer(flow.direction);
}

void TransferProgress::Carry(Flow& flow, std::string_view piece) {
  Open(flow);
  flow.bytes += piece.size();
  events_.Transfer(flow.direction, static_cast<NxInt>(flow.bytes), piece);
}

void TransferProgress::Close(Flow& flow) {
  if (!flow.open) return;
  flow.open = false;
  events_.EndTransfer(flow.direction);
}

void TransferProgress::Disconnect(int code, const std::string& text) {
  connected_ = requestOut_ = false;
  responseCode_ = 0;
  events_.Disconnected(code, text);
}

}  // namespace vltg::platform::netxfer_core
