#pragma once
// The scripted TNPP peer wired straight to a link in the same thread: what
// the link writes reaches the peer at once, and the peer's due bytes are
// there for the link's next read. For protocol tests in virtual time.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "engines/tnpp_link.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "tests/support/tnpp_peer.h"

namespace vltg::testing {

class TnppPeerPort : public TnppLinkPort {
 public:
  // Pending: bytes already on the line for the link, before anything the
  // peer sends.
  explicit TnppPeerPort(TnppPeer& Peer, std::string Pending = {}) : FPeer(Peer), FIn(std::move(Pending)) {}

  int ReadChar() override {
    if (FPos >= FIn.size()) {
      FIn = FPeer.TakeDue();
      FPos = 0;
      if (FIn.empty()) return -1;
    }
    return static_cast<unsigned char>(FIn[FPos++]);
  }
  bool Write(std::string_view Bytes) override {
    FPeer.Feed(Bytes);
    return true;
  }
  // Until the peer's next bytes are due (the clock jumps there in virtual time).
  void AwaitInput(int64_t UntilMs) override {
    if (FPos < FIn.size()) return;
    const int64_t until = std::min(UntilMs, FPeer.NextDueMs());
    platform::WaitMessage(std::max<int64_t>(until - platform::NowMs(), 0));
  }
  // Whether the link has read everything that reached it.
  bool Drained() const { return FPos >= FIn.size(); }

 private:
  TnppPeer& FPeer;
  std::string FIn;
  size_t FPos = 0;
};

}  // namespace vltg::testing
