// Whatever a peer puts on the line, the link neither crashes nor stalls, and
// answers only with its own control characters and well-formed packets.
// Input: one option byte (bit 0 transparent CRC, bit 1 1024-byte packets,
// bit 2 the peer answers ENQ with EOT), then the peer's bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engines/tnpp_link.h"
#include "platform/messages/clock.h"
#include "tests/support/fuzz_check.h"
#include "tests/support/tnpp_peer.h"
#include "tests/support/tnpp_peer_port.h"

using namespace vltg;
using vltg::testing::FuzzCheck;
using vltg::testing::TnppPeer;
using vltg::testing::TnppPeerPort;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const platform::ScopedClock virtual_time(std::make_shared<platform::ManualClock>(true));
  const bool transparent = data[0] & 1;
  TnppPeer peer(transparent);
  peer.SetAnswerEnq(data[0] & 4);
  TnppPeerPort port(peer, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  TnppLink link(port);
  link.Settings.TransparentCRC = transparent;
  link.Settings.PacketSize = (data[0] & 2) ? ps1024 : ps4096;
  link.Settings.InterCharTime = 1;

  // Every byte is read within a minute of virtual time (the link waits from
  // one deadline to the next, so time moves in jumps).
  const int64_t start = platform::NowMs();
  int64_t drained_at = -1;
  link.Run([&] {
    if (drained_at < 0 && port.Drained()) drained_at = platform::NowMs();
    if (drained_at >= 0) return platform::NowMs() > drained_at + 50;
    FuzzCheck(platform::NowMs() - start < 60'000);
    return false;
  });

  for (const auto& unit : peer.Units()) {
    if (unit.IsPacket()) {
      FuzzCheck(ParseTnppPacket(unit.Packet, link.Settings.PacketSize, transparent).Verdict ==
                TnppRxVerdict::kValid);
    } else {
      const char c = unit.Control;
      FuzzCheck(c == tnpp::ENQ || c == tnpp::EOT || c == tnpp::ACK || c == tnpp::NAK || c == tnpp::CAN);
    }
  }
  FuzzCheck(link.QueueLength() <= 1);
  return 0;
}
