// Received TNPP packets from an untrusted line: taking them apart never reads
// out of bounds, and whatever comes in, a page built from it frames cleanly.
// Input: one option byte (bit 0 transparent CRC, bit 1 1024-byte packets),
// then the received text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engines/tnpp_packet.h"
#include "tests/support/fuzz_check.h"

using namespace vltg;
using vltg::testing::FuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool transparent = data[0] & 1;
  const tPacketSize packet_size = (data[0] & 2) ? ps1024 : ps4096;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  const TnppRxPacket rx = ParseTnppPacket(text, packet_size, transparent);
  if (rx.Verdict == TnppRxVerdict::kValid) {
    FuzzCheck(rx.Header.size() == 12 && rx.Inertia >= 0 && rx.Inertia <= 0xFF);
    FuzzCheck(rx.LinkTest == (rx.Header.compare(0, 4, "0000") == 0));
    const size_t before = text.size();
    if (rx.Forward) LowerTnppInertia(text, rx.Inertia);
    FuzzCheck(text.size() == before);
  }

  // The same bytes as capcode and message of an outgoing page.
  const size_t split = text.find('|');
  const std::string capcode = text.substr(0, split);
  const std::string message = split == std::string::npos ? "" : text.substr(split + 1);
  const auto page = BuildTnppPagePacket({data[0], 3, 0, 1}, capcode, message, packet_size, transparent);
  FuzzCheck(page && page->size() <= PacketSizeLimit(packet_size));
  const TnppRxPacket back = ParseTnppPacket(*page, packet_size, transparent);
  FuzzCheck(back.Verdict == TnppRxVerdict::kValid && back.Block == TnppBlock::kIdPage);
  // Nothing inside may end, restart or abort the packet at a receiver.
  for (size_t i = 1; i + 1 + (transparent ? 4 : 2) < page->size(); ++i) {
    const auto c = static_cast<unsigned char>((*page)[i]);
    FuzzCheck(c > 0x05 || c == 0x02);
  }
  return 0;
}
