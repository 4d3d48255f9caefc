#pragma once
// A scripted TNPP peer: it takes the bytes the link under test writes, splits
// them into control characters and packets, records each with the time it
// came, and answers by its script: EOT to ENQ (unless told to keep silent)
// and, to each packet, the next scripted answer or else the default one.
// Bytes it sends (its answers and what a test hands it) wait in an outbox
// until they are due; a transport (TnppPeerLine on a pseudo-terminal, or a
// test's own in-memory line) carries them. Safe to use from two threads.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vltg::testing {

struct TnppPeerUnit {
  int64_t AtMs = 0;     // message-layer clock when it was complete
  char Control = 0;     // the control character, or SOH for a packet
  std::string Packet;   // a whole packet, SOH through the CRC
  bool IsPacket() const { return !Packet.empty(); }
};

class TnppPeer {
 public:
  // Whether the link's CRCs are four hexadecimal characters.
  explicit TnppPeer(bool TransparentCRC = false) : FTransparent(TransparentCRC) {}

  // EOT to every ENQ, or silence.
  void SetAnswerEnq(bool Value);
  // What the next packets are answered, one character each, in order; a zero
  // character keeps silent. After them every packet gets DefaultAnswer.
  void QueueAnswers(std::string_view Answers);
  void SetDefaultAnswer(char Answer);  // ACK at first; 0 keeps silent

  // Bytes for the link, sent once AfterMs of the clock have passed.
  void Send(std::string_view Bytes, int64_t AfterMs = 0);

  // What the link wrote.
  void Feed(std::string_view Bytes);
  // The outbox bytes that are due, taken out of it.
  std::string TakeDue();
  // When the outbox's next bytes are due; INT64_MAX when it is empty.
  int64_t NextDueMs() const;

  std::vector<TnppPeerUnit> Units() const;
  std::vector<std::string> Packets() const;
  size_t CountControl(char Control) const;

  // A packet as a TNPP node frames it: SOH, the header from the fields,
  // Body (from STX on, up to but without ETX), ETX and the CRC.
  static std::string Frame(uint32_t Dest, uint32_t Inertia, uint32_t Source, uint32_t Serial,
                           std::string_view Body, bool TransparentCRC = false);

 private:
  void Complete(char Control, std::string Packet);
  void Enqueue(int64_t AtMs, std::string Bytes);

  struct Due {
    int64_t AtMs;
    std::string Bytes;
  };
  mutable std::mutex FLock;
  bool FTransparent;
  bool FAnswerEnq = true;
  std::string FAnswers;
  char FDefaultAnswer = 0x06;
  std::deque<Due> FOutbox;
  std::vector<TnppPeerUnit> FUnits;
  std::string FPacket;  // the packet being received
  size_t FCrcLeft = 0;  // CRC characters still to come after ETX
};

}  // namespace vltg::testing
