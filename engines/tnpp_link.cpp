#include "engines/tnpp_link.h"

#include <algorithm>

#include "platform/base/scoped_flag.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

// SendPacket's results besides the answer character.
constexpr int kNoAnswer = -1;
constexpr int kNotSent = -2;  // the link is not ready or is going down: the packet stays queued

// Headers of packets answered ACK that are remembered to spot repeats.
constexpr size_t kRecentHeaders = 64;

int64_t Now() { return platform::NowMs(); }
int64_t Ms(int Seconds) { return std::max(Seconds, 0) * int64_t{1000}; }

// An answer to a sent packet: ignored while enquiring, discarded while idle.
bool IsAnswer(char c) { return c == tnpp::ACK || c == tnpp::NAK || c == tnpp::CAN || c == tnpp::RS; }

// The trace of an answer to a received packet.
std::string AnswerName(char c) {
  switch (c) {
    case tnpp::ACK: return "ACK";
    case tnpp::NAK: return "NAK";
    case tnpp::CAN: return "CAN";
    case tnpp::RS: return "RS";
    default: return "Unknown";
  }
}

std::string ControlName(char c) {
  switch (c) {
    case tnpp::EOT: return "EOT";
    case tnpp::ENQ: return "ENQ";
    default: return AnswerName(c);
  }
}

}  // namespace

void TnppLink::Run(const std::function<bool()>& Stop) {
  FStop = &Stop;
  {
    std::lock_guard lock(FQueueLock);
    FLinkThread = platform::CurrentThread();
  }
  while (!Stopped()) {
    StartLink();
    if (Enquire()) Serve();
  }
  FLinkUp = false;
  platform::SleepPumping(2);
  {
    std::lock_guard lock(FQueueLock);
    FLinkThread = {};
  }
  FStop = nullptr;
}

void TnppLink::SetStopMark(bool Value) {
  FStopMark.store(Value);
  WakeLinkThread();
}

void TnppLink::WakeLinkThread() const {
  std::lock_guard lock(FQueueLock);
  FLinkThread.Wake();
}

// A new link: the peer is told by the link test to forget the serial numbers
// it has seen, so the packets still queued are numbered afresh behind it.
void TnppLink::StartLink() {
  FState = TnppLinkState::kStarting;
  FRecent.clear();
  FRSHold = false;
  std::lock_guard lock(FQueueLock);
  std::erase_if(FQueue, [](const Queued& q) { return q.LinkTest; });
  RenumberQueued();
  if (auto test = BuildTnppLinkTestPacket(FInertia, Settings.SourceAddress, Settings.STXInit, Settings.TransparentCRC)) {
    FQueue.push_front({std::move(*test), true});
  }
}

// The queued pages take the serial numbers from 1 on, in order, or from the
// head's on when it keeps its own (queue lock held).
void TnppLink::RenumberQueued(bool keep_head) {
  uint16_t serial = 0;
  auto queued = FQueue.begin();
  if (keep_head && queued != FQueue.end() && !queued->LinkTest) {
    serial = TnppSerialOf(queued->Packet).value_or(0);
    ++queued;
  }
  for (; queued != FQueue.end(); ++queued) {
    if (queued->LinkTest) continue;
    serial = NextTnppSerial(serial);
    SetTnppSerial(queued->Packet, serial, Settings.TransparentCRC);
  }
  FDPSerNum = serial;
}

// ENQ until EOT; false when the link is lost (or the run stopped).
bool TnppLink::Enquire() {
  FState = TnppLinkState::kEnquiring;
  WriteControl(tnpp::ENQ);
  return Receive() >= 0;
}

// The link is up: serve the peer, test the link while idle, send the queue
// head. Returns when the link must start again or the run stops.
void TnppLink::Serve() {
  int64_t keep_alive = Now() + Ms(Settings.KeepAliveTout);
  while (!Stopped()) {
    const bool held = FRSHold && Now() < FRSHoldUntil;
    if (QueueLength() == 0 || FStopMark || held) {
      // Nothing to send: until the peer sends, a page is queued, the link
      // test (or the hold's end) is due, or a stop.
      FPort.AwaitInput(held ? std::min(keep_alive, FRSHoldUntil) : keep_alive);
    } else {
      platform::SleepPumping(5);
    }
    Receive();
    if (Now() >= keep_alive) {
      if (!Enquire()) return;
      keep_alive = Now() + Ms(Settings.KeepAliveTout);
      continue;
    }
    if (QueueLength() > 0 && !FStopMark) {
      if (Stopped()) return;
      Receive();
      if (FRSHold) {
        if (Now() < FRSHoldUntil) continue;
        FRSHold = false;
      }
      const int answer = SendPacket(Head());
      if (answer == tnpp::ACK || answer == tnpp::CAN) {
        PopHead();
        continue;
      }
      if (answer == tnpp::RS) {
        if (QueueLength() == 1) {
          FRSHold = true;
          FRSHoldUntil = Now() + Ms(Settings.RSHoldTime);
          continue;
        }
        MoveHeadToTail();
      } else if (answer != kNotSent) {
        // No answer, or NAK to every transmission: the packet is given up
        // once the link has answered an enquiry.
        if (!Enquire()) return;
        keep_alive = Now() + Ms(Settings.KeepAliveTout);
        PopHead();
      }
    }
    platform::SleepPumping(2);
    if (!FLinkUp) return;
  }
}

// One packet, sent up to Retrycount times; the answer character, kNoAnswer
// or kNotSent.
int TnppLink::SendPacket(const std::string& Packet) {
  // Only the receive routine moves the state back to idle; the main loop
  // runs it before trying again.
  if (FState != TnppLinkState::kIdle || !FLinkUp) return kNotSent;
  Raise(TnppLinkEvent::kSendPacket, Packet);
  const platform::ScopedFlag sending(FSending);
  const int limit = std::max(Settings.Retrycount, 1);
  int attempts = 0;
  for (;;) {
    // Every transmission awaits its own answer, also after an enquiry during
    // the previous wait has brought the link back to idle.
    FState = TnppLinkState::kAwaitingResponse;
    if (!FPort.Write(Packet)) break;
    Raise(TnppLinkEvent::kTxPacket, Packet);
    platform::SleepPumping(1);
    // The last of several transmissions is not waited for; a lone one is, or
    // no page would ever be confirmed.
    if (++attempts >= limit && limit > 1) break;
    const int answer = Receive();
    switch (answer) {
      case tnpp::ACK:
        Raise(TnppLinkEvent::kPacketSent, Packet);
        Raise(TnppLinkEvent::kRxPacket, "ACK");
        FState = TnppLinkState::kIdle;
        return answer;
      case tnpp::NAK:
        Raise(TnppLinkEvent::kCRCError, Packet);
        Raise(TnppLinkEvent::kRxPacket, "NAK");
        break;
      case tnpp::CAN:
        Raise(TnppLinkEvent::kRmtCancel, Packet);
        Raise(TnppLinkEvent::kRxPacket, "CAN");
        FState = TnppLinkState::kIdle;
        return answer;
      case tnpp::RS:
        Raise(TnppLinkEvent::kPacketRequeue, Packet);
        Raise(TnppLinkEvent::kRxPacket, "RS");
        FState = TnppLinkState::kIdle;
        return answer;
      default:
        break;
    }
    if (attempts >= limit) break;
    // Not sent again to a link that is down or about to be closed; the packet
    // stays queued.
    if (Stopped() || FStopMark || !FLinkUp) {
      FState = TnppLinkState::kIdle;
      return kNotSent;
    }
  }
  FState = TnppLinkState::kIdle;
  return kNoAnswer;
}

// Reads what the peer sends in the current state. Returns -1 when nothing was
// decided, 0 when the link came up or a link test arrived, else the character
// that answered a sent packet.
int TnppLink::Receive() {
  int result = kNoAnswer;
  int tries = 0;
  const int64_t start = Now();
  int64_t enq_deadline = start + Ms(Settings.ENQRspTout);
  const int64_t idle_deadline = start + Ms(Settings.IdleRspTout);
  const int64_t busy_deadline = start + Ms(Settings.BusyRspTout);
  for (;;) {
    const int c = FPort.ReadChar();
    if (Stopped()) return result;
    if (c < 0) {
      const TnppLinkState state = FState;
      if (state == TnppLinkState::kEnquiring) {
        FPort.AwaitInput(enq_deadline);
        if (Now() >= enq_deadline) {
          if (++tries >= std::max(Settings.ENQRetries, 1)) {
            LinkLost();
            return result;
          }
          WriteControl(tnpp::ENQ);
          enq_deadline = Now() + Ms(Settings.ENQRspTout);
        }
        continue;
      }
      if (state == TnppLinkState::kAwaitingResponse) {
        FPort.AwaitInput(std::min(busy_deadline, idle_deadline));
        if (Now() >= busy_deadline) return result;
        if (Now() >= idle_deadline) {
          FState = TnppLinkState::kEnquiring;
          WriteControl(tnpp::ENQ);
          enq_deadline = Now() + Ms(Settings.ENQRspTout);
          tries = 0;
        }
        continue;
      }
      return result;
    }

    const char ch = static_cast<char>(c);
    switch (FState.load()) {
      case TnppLinkState::kEnquiring:
        if (IsAnswer(ch)) continue;
        if (ch == tnpp::EOT) {
          FLinkUp = true;
          FState = TnppLinkState::kIdle;
          Raise(TnppLinkEvent::kRxPacket, "EOT");
          Raise(TnppLinkEvent::kLinkTest);
          return 0;
        }
        break;
      case TnppLinkState::kAwaitingResponse:
        if (ch == tnpp::EOT) {
          Raise(TnppLinkEvent::kRxPacket, "EOT");
          Raise(TnppLinkEvent::kLinkTest);
          FState = TnppLinkState::kIdle;
          continue;
        }
        result = c;
        break;
      default:
        if (IsAnswer(ch) || ch == tnpp::EOT) return result;
        break;
    }
    if (ch == tnpp::ENQ) {
      Raise(TnppLinkEvent::kRxPacket, "ENQ");
      WriteControl(tnpp::EOT);
      if (FState == TnppLinkState::kEnquiring) continue;
      return result;
    }
    if (ch == tnpp::SOH && ReceivePacket(result, enq_deadline, tries)) continue;
    return result;
  }
}

// A packet after its SOH. True when the receive routine goes on reading
// (enquiring), false when it returns.
bool TnppLink::ReceivePacket(int& Result, int64_t& EnqDeadline, int& Tries) {
  // Characters past the longest packet are not kept: the packet is refused
  // for its length anyway.
  const size_t keep = PacketSizeLimit(Settings.PacketSize) + 1;
  std::string text(1, tnpp::SOH);
  int64_t deadline = Now() + Ms(Settings.InterCharTime);
  int c = -1;
  while (c != tnpp::ETX) {
    c = FPort.ReadChar();
    if (c < 0) {
      if (Now() >= deadline) {
        // The peer stalled inside the packet: ask whether it is still there.
        FState = TnppLinkState::kEnquiring;
        WriteControl(tnpp::ENQ);
        EnqDeadline = Now() + Ms(Settings.ENQRspTout);
        Tries = 0;
        return true;
      }
      FPort.AwaitInput(deadline);
    } else {
      deadline = Now() + Ms(Settings.InterCharTime);
      const char ch = static_cast<char>(c);
      if (c >= 0x80) {
        // dropped
      } else if (ch == tnpp::SOH) {
        Raise(TnppLinkEvent::kTxPacket,
              "Debug: " + std::to_string(static_cast<unsigned char>(text.back())));
        Raise(TnppLinkEvent::kTxPacket, "Debug: " + text);
      } else if (ch == tnpp::ENQ) {
        WriteControl(tnpp::EOT);
        return FState == TnppLinkState::kEnquiring;
      } else if (text.size() < keep) {
        text += ch;
      }
    }
    if (Stopped()) return false;
  }

  // The CRC characters, each within the inter-character time; one that does
  // not come leaves the CRC short and the packet is answered NAK.
  const size_t crc_end = text.size() + TnppCRCLength(Settings.TransparentCRC);
  while (text.size() < crc_end) {
    c = FPort.ReadChar();
    if (Stopped()) return false;
    if (c >= 0) {
      text += static_cast<char>(c);
      deadline = Now() + Ms(Settings.InterCharTime);
    } else if (Now() >= deadline) {
      break;
    } else {
      FPort.AwaitInput(deadline);
    }
  }
  Raise(TnppLinkEvent::kRxPacket, text);
  AnswerPacket(text, Result);
  return false;
}

void TnppLink::AnswerPacket(std::string& Text, int& Result) {
  const TnppRxPacket rx = ParseTnppPacket(Text, Settings.PacketSize, Settings.TransparentCRC);
  switch (rx.Verdict) {
    case TnppRxVerdict::kTooLong:
    case TnppRxVerdict::kMalformed:
      WriteControl(tnpp::CAN);
      return;
    case TnppRxVerdict::kBadCRC:
      WriteControl(tnpp::NAK);
      return;
    case TnppRxVerdict::kValid:
      break;
  }
  // Only a packet answered ACK is remembered: one answered otherwise comes
  // again and must not be taken for a repeat.
  if (IsRecent(rx.Header)) {
    WriteControl(tnpp::ACK);
    return;
  }
  if (!rx.Forward) {
    Remember(rx.Header);
    WriteControl(tnpp::ACK);
    return;
  }
  LowerTnppInertia(Text, rx.Inertia);
  if (rx.LinkTest) {
    {
      // The peer starts its numbering afresh: the pages still queued are
      // numbered behind its link test too, or a later page could repeat the
      // header of one sent after it and be discarded as a duplicate. A page on
      // the line keeps its number (the peer may take it before or after its
      // restart, and it is sent again as it is), and the rest follow it.
      std::lock_guard lock(FQueueLock);
      RenumberQueued(FSending);
    }
    FRecent.clear();
    WriteControl(tnpp::ACK);
    Result = 0;
    return;
  }
  if (rx.Block == TnppBlock::kNone) {
    WriteControl(tnpp::CAN);
    return;
  }
  char rsp = tnpp::CAN;
  if (OnReceive) OnReceive(rx.Block, Text, rsp);
  if (rsp == tnpp::ACK) Remember(rx.Header);
  WriteControl(rsp, AnswerName(rsp));
}

void TnppLink::Raise(TnppLinkEvent Event, const std::string& Packet) {
  if (OnEvent) OnEvent(Event, Packet);
}

void TnppLink::WriteControl(char Code) { WriteControl(Code, ControlName(Code)); }

void TnppLink::WriteControl(char Code, const std::string& Trace) {
  FPort.Write(std::string_view(&Code, 1));
  Raise(TnppLinkEvent::kTxPacket, Trace);
}

void TnppLink::LinkLost() {
  FLinkUp = false;
  Raise(TnppLinkEvent::kLinkError);
}

bool TnppLink::IsRecent(const std::string& Header) const {
  return std::find(FRecent.begin(), FRecent.end(), Header) != FRecent.end();
}

void TnppLink::Remember(const std::string& Header) {
  FRecent.push_back(Header);
  if (FRecent.size() > kRecentHeaders) FRecent.pop_front();
}

bool TnppLink::QueuePage(uint32_t DestAddr, uint16_t Inertia, std::string_view Capcode, std::string_view Msg) {
  if (!FLinkUp) return false;
  std::lock_guard lock(FQueueLock);
  const uint16_t serial = NextTnppSerial(FDPSerNum);
  auto packet = BuildTnppPagePacket({DestAddr, Inertia, Settings.SourceAddress, serial}, Capcode, Msg,
                                    Settings.PacketSize, Settings.TransparentCRC);
  if (!packet) return false;
  FInertia = Inertia;
  FDPSerNum = serial;
  FQueue.push_back({std::move(*packet), false});
  FLinkThread.Wake();
  return true;
}

std::vector<std::string> TnppLink::TakeQueuedPages() {
  std::lock_guard lock(FQueueLock);
  std::vector<std::string> pages;
  for (auto& queued : FQueue) {
    if (!queued.LinkTest) pages.push_back(std::move(queued.Packet));
  }
  FQueue.clear();
  return pages;
}

int TnppLink::QueueLength() const {
  std::lock_guard lock(FQueueLock);
  return static_cast<int>(FQueue.size());
}

uint16_t TnppLink::GetInertia() const {
  std::lock_guard lock(FQueueLock);
  return FInertia;
}

void TnppLink::SetInertia(uint16_t Value) {
  std::lock_guard lock(FQueueLock);
  FInertia = Value;
}

uint16_t TnppLink::GetDPSerNum() const {
  std::lock_guard lock(FQueueLock);
  return FDPSerNum;
}

void TnppLink::SetDPSerNum(uint16_t Value) {
  std::lock_guard lock(FQueueLock);
  FDPSerNum = Value;
}

std::string TnppLink::Head() const {
  std::lock_guard lock(FQueueLock);
  return FQueue.empty() ? std::string() : FQueue.front().Packet;
}

void TnppLink::PopHead() {
  std::lock_guard lock(FQueueLock);
  if (!FQueue.empty()) FQueue.pop_front();
}

void TnppLink::MoveHeadToTail() {
  std::lock_guard lock(FQueueLock);
  if (FQueue.size() < 2) return;
  FQueue.push_back(std::move(FQueue.front()));
  FQueue.pop_front();
}

}  // namespace vltg
