#pragma once
// A scripted TNPP peer at the far end of a pseudo-terminal: a thread of its
// own feeds the peer what the link writes and writes back what it has to
// send. The link under test opens the slave side, by path or as COM<n>.
#include <atomic>
#include <string>
#include <thread>

#include "tests/support/pseudo_terminal.h"
#include "tests/support/tnpp_peer.h"

namespace vltg::testing {

class TnppPeerLine {
 public:
  explicit TnppPeerLine(TnppPeer& Peer);
  ~TnppPeerLine();
  TnppPeerLine(const TnppPeerLine&) = delete;
  TnppPeerLine& operator=(const TnppPeerLine&) = delete;

  const std::string& SlavePath() const { return FLine.SlavePath(); }
  // Makes COM<Number> name this line (VLTG_ROOT must point at a test directory).
  void LinkAs(int Number) const { LinkComPort(Number, FLine.SlavePath()); }
  // The peer goes and the line hangs up, as when an adapter is pulled.
  void HangUp();

 private:
  void Serve();

  TnppPeer& FPeer;
  PseudoTerminal FLine;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

}  // namespace vltg::testing
