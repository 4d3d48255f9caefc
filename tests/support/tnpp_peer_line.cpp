#include "tests/support/tnpp_peer_line.h"

namespace vltg::testing {

TnppPeerLine::TnppPeerLine(TnppPeer& Peer) : FPeer(Peer), FThread([this] { Serve(); }) {}

TnppPeerLine::~TnppPeerLine() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
}

void TnppPeerLine::HangUp() {
  FStop = true;
  if (FThread.joinable()) FThread.join();
  FLine.CloseMaster();
}

void TnppPeerLine::Serve() {
  while (!FStop) {
    const std::string written = FLine.Read(4096, 1);
    if (!written.empty()) FPeer.Feed(written);
    const std::string due = FPeer.TakeDue();
    if (!due.empty()) FLine.Write(due);
  }
}

}  // namespace vltg::testing
