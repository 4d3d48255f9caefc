#pragma once
// The events of one request as libcurl carries it out, in a fixed order:
//   OnConnectionStatus for each step of the way to the server, in the order
//     the connection passes them ("Firewall connection complete", "Proxy
//     connection complete", "Proxy tunnel complete", "SSL handshake complete",
//     "Remote host connection complete"), then OnConnected (0 and a text);
//   OnStartTransfer, OnTransfer (the running count and each piece) and
//     OnEndTransfer for the request body going out (direction 0);
//   OnStatus, OnHeader for each field (OnSetCookie after a Set-Cookie field),
//     then OnStartTransfer, OnTransfer and OnEndTransfer for the reply body
//     coming in (direction 1) - once per response the server gives;
//   OnDisconnected once the connection is closed (0, or the error that ended
//     the request on it).
// A connection that never stands raises OnConnected with the error instead.
// libcurl shows no moment for a step that has no answer of its own (a SOCKS
// firewall, a proxy that forwards the request): such a step is complete when
// the next one begins. A proxy's answer to CONNECT is part of the way, not of
// the reply: it raises no OnStatus or OnHeader.
#include <string>
#include <string_view>
#include <vector>

#include "platform/netxfer/core/core_events.h"
#include "platform/netxfer/core/header_line.h"

namespace vltg::platform::netxfer_core {

// What a connection passes on its way to the server, in order.
struct ConnectionRoute {
  enum class Hop { kSocksFirewall, kTunnelFirewall, kForwardingProxy, kTunnelProxy };
  struct Step {
    Hop hop;
    bool tls;           // a TLS handshake with this hop (an HTTPS proxy)
    std::string host;
    std::string where;  // "host:port"
  };
  std::vector<Step> hops;  // firewall first, then the proxy
  bool serverTls = false;
  std::string server;      // "host:port"

  // The hop spoken to over TLS; null when there is none.
  const Step* TlsProxy() const {
    for (const Step& step : hops) {
      if (step.tls) return &step;
    }
    return nullptr;
  }
};

class TransferProgress {
 public:
  explicit TransferProgress(CoreEvents& events) : events_(events) {}

  // One request (one perform) with its route and the size of its body.
  void Begin(const ConnectionRoute& route, size_t bodyBytes);
  const ConnectionRoute& Route() const { return route_; }

  // libcurl made a socket for a connection; a connection that stood before
  // it is over.
  void SocketOpened();
  // The connection stands and the request is about to go, to this address.
  void Connected(const std::string& remote, int remotePort);

  // Header bytes going out: a CONNECT request on the way, else the request.
  void HeadersOut();
  void BodyOut(std::string_view piece);
  // A TLS handshake begins or is complete; `proxy` for the HTTPS proxy's.
  void TlsStarted(bool proxy);
  void TlsDone(bool proxy);

  // One response header line. Kind kOther for a proxy's CONNECT answer and
  // for what is no status line or field (the blank line ending the headers).
  HeaderLine ResponseLine(std::string_view bytes);
  void BodyIn(std::string_view piece);

  // The perform ended with `code` (CURLE_OK) and libcurl's text for it.
  void Finish(int code, const std::string& text);

 private:
  struct PendingStep {
    enum class Kind { kQuiet, kTunnel, kTls } kind;
    bool proxyTls;  // kTls: the proxy's handshake, not the server's
    std::string event;
    std::string where;
  };

  // Completes the quiet steps before the first step of `kind` and, when
  // `including`, that step too.
  void Reach(PendingStep::Kind kind, bool proxyTls, bool including);
  void CompleteSteps(size_t count);
  // One direction of the transfer: the request body out, the reply body in.
  struct Flow {
    int direction;
    bool open = false;
    size_t bytes = 0;
  };
  void Open(Flow& flow);
  void Carry(Flow& flow, std::string_view piece);
  void Close(Flow& flow);
  void Disconnect(int code, const std::string& text);

  CoreEvents& events_;
  ConnectionRoute route_;
  size_t bodyBytes_ = 0;

  std::vector<PendingStep> steps_;  // of the connection being made
  bool connecting_ = false;         // sockets opened, no connection stands yet
  bool connected_ = false;          // a connection stands, not yet reported closed

  Flow sending_{CoreEvents::kSending};
  Flow receiving_{CoreEvents::kReceiving};
  bool requestOut_ = false;  // the request's headers went, no response yet
  int responseCode_ = 0;
};

}  // namespace vltg::platform::netxfer_core
