#include "tests/support/tnpp_peer.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engines/tnpp_packet.h"
#include "platform/messages/clock.h"

namespace vltg::testing {

void TnppPeer::SetAnswerEnq(bool Value) {
  std::lock_guard lock(FLock);
  FAnswerEnq = Value;
}

void TnppPeer::QueueAnswers(std::string_view Answers) {
  std::lock_guard lock(FLock);
  FAnswers += Answers;
}

void TnppPeer::SetDefaultAnswer(char Answer) {
  std::lock_guard lock(FLock);
  FDefaultAnswer = Answer;
}

void TnppPeer::Send(std::string_view Bytes, int64_t AfterMs) {
  std::lock_guard lock(FLock);
  Enqueue(platform::NowMs() + AfterMs, std::string(Bytes));
}

// The outbox stays in time order; bytes due at the same time keep theirs.
void TnppPeer::Enqueue(int64_t AtMs, std::string Bytes) {
  auto pos = std::upper_bound(FOutbox.begin(), FOutbox.end(), AtMs,
                              [](int64_t t, const Due& d) { return t < d.AtMs; });
  FOutbox.insert(pos, Due{AtMs, std::move(Bytes)});
}

void TnppPeer::Feed(std::string_view Bytes) {
  std::lock_guard lock(FLock);
  for (const char c : Bytes) {
    if (!FPacket.empty()) {
      FPacket += c;
      if (FCrcLeft > 0) {
        if (--FCrcLeft == 0) Complete(vltg::tnpp::SOH, std::exchange(FPacket, {}));
      } else if (c == vltg::tnpp::ETX) {
        FCrcLeft = TnppCRCLength(FTransparent);
      }
    } else if (c == vltg::tnpp::SOH) {
      FPacket = c;
      FCrcLeft = 0;
    } else {
      Complete(c, {});
    }
  }
}

void TnppPeer::Complete(char Control, std::string Packet) {
  const int64_t now = platform::NowMs();
  char answer = 0;
  if (!Packet.empty()) {
    if (FAnswers.empty()) {
      answer = FDefaultAnswer;
    } else {
      answer = FAnswers.front();
      FAnswers.erase(0, 1);
    }
  } else if (Control == vltg::tnpp::ENQ && FAnswerEnq) {
    answer = vltg::tnpp::EOT;
  }
  FUnits.push_back({now, Control, std::move(Packet)});
  if (answer != 0) Enqueue(now, std::string(1, answer));
}

std::string TnppPeer::TakeDue() {
  std::lock_guard lock(FLock);
  const int64_t now = platform::NowMs();
  std::string out;
  while (!FOutbox.empty() && FOutbox.front().AtMs <= now) {
    out += FOutbox.front().Bytes;
    FOutbox.pop_front();
  }
  return out;
}

int64_t TnppPeer::NextDueMs() const {
  std::lock_guard lock(FLock);
  return FOutbox.empty() ? std::numeric_limits<int64_t>::max() : FOutbox.front().AtMs;
}

std::vector<TnppPeerUnit> TnppPeer::Units() const {
  std::lock_guard lock(FLock);
  return FUnits;
}

std::vector<std::string> TnppPeer::Packets() const {
  std::lock_guard lock(FLock);
  std::vector<std::string> packets;
  for (const auto& unit : FUnits) {
    if (unit.IsPacket()) packets.push_back(unit.Packet);
  }
  return packets;
}

size_t TnppPeer::CountControl(char Control) const {
  std::lock_guard lock(FLock);
  return static_cast<size_t>(std::count_if(FUnits.begin(), FUnits.end(), [Control](const TnppPeerUnit& u) {
    return !u.IsPacket() && u.Control == Control;
  }));
}

std::string TnppPeer::Frame(uint32_t Dest, uint32_t Inertia, uint32_t Source, uint32_t Serial, std::string_view Body,
                            bool TransparentCRC) {
  std::string packet = BuildTnppHeader({Dest, Inertia, Source, Serial}).value_or(std::string(1, vltg::tnpp::SOH));
  packet += Body;
  packet += vltg::tnpp::ETX;
  packet += TnppCRCText(packet, TransparentCRC);
  return packet;
}

}  // namespace vltg::testing
