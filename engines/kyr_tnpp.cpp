#include "engines/kyr_tnpp.h"

#include <algorithm>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

// CloseLink: time for a send in progress to give up, then for the link
// thread to see the stop request.
constexpr int64_t kSendGraceMs = 500;
constexpr int64_t kThreadEndMs = 1100;

}  // namespace

TKYRTNPP::TKYRTNPP() {
  DisablePolling();  // the link thread reads the port
  FLink.OnEvent = [this](TnppLinkEvent Event, const std::string& Packet) { RaiseLinkEvent(Event, Packet); };
  FLink.OnReceive = [this](TnppBlock Block, const std::string& Packet, char& Rsp) { RaiseReceive(Block, Packet, Rsp); };
  FLinkThread.ThreadProc = [this](TWinThread& Sender, TWinThreadParam&) { return LinkThreadProc(Sender); };
}

TKYRTNPP::~TKYRTNPP() { CloseLink(); }

void TKYRTNPP::OpenLink() {
  if (Connected() || !Open()) return;
  FLink.SetStopMark(false);  // left by an earlier CloseLink
  FReadCount = FReadPos = 0;
  FLinkThread.SetTag(0);
  FLinkOpen = true;
  try {
    FLinkThread.Execute(nullptr);
  } catch (...) {
    FLinkOpen = false;
    Close();
    throw;
  }
}

bool TKYRTNPP::CloseLink() {
  if (!Connected()) return true;
  FLinkOpen = false;  // no page is accepted for a link being closed
  FLink.SetStopMark(true);
  platform::SleepPumping(kSendGraceMs);
  const bool was_up = FLink.GetLinkUp();
  FLinkThread.SetTag(1);
  RequestStop();  // a write held back by flow control gives up
  const int64_t deadline = platform::NowMs() + kThreadEndMs;
  while (FLinkThread.ThreadCount() > 0 && platform::NowMs() < deadline) platform::SleepPumping(5);
  // The thread cannot be ended from outside, and the port must not be closed
  // under a read of it: wait for it (it polls the stop request at every step).
  if (!FLinkThread.StopAll()) FLinkThread.WaitForThreads(-1);
  Close();
  if (OnPortClosed) OnPortClosed(*this);
  return was_up;
}

bool TKYRTNPP::SendPage(uint32_t DestAddr, uint16_t Inertia, const std::string& Capcode, const std::string& Msg) {
  if (!FLinkOpen) return false;
  return FLink.QueuePage(DestAddr, Inertia, Capcode, Msg);
}

uint32_t TKYRTNPP::LinkThreadProc(TWinThread& Sender) {
  auto stop = [&Sender] { return Sender.GetTag() != 0; };
  try {
    if (OnPortOpened) OnPortOpened(*this);
    FLink.Run(stop);
  } catch (...) {
    // Nobody serves the link any more: pages are refused from now on.
    FLink.SetLinkUp(false);
    if (!stop() && OnLinkError) OnLinkError(*this);
    throw;
  }
  return 0;
}

// What is there now; the link waits for more in AwaitInput.
int TKYRTNPP::ReadChar() {
  if (FReadPos >= FReadCount) {
    FReadPos = 0;
    const long got = Connected() ? Port().Read(FReadBuffer, sizeof FReadBuffer, 0) : 0;
    FReadCount = got > 0 ? static_cast<int>(got) : 0;
    if (FReadCount == 0) return -1;
  }
  return static_cast<unsigned char>(FReadBuffer[FReadPos++]);
}

void TKYRTNPP::AwaitInput(int64_t UntilMs) {
  if (FReadPos < FReadCount) return;
  // A device that has hung up (an adapter pulled) polls readable at once for
  // ever with nothing to read: its waits run to their deadlines instead.
  if (Connected() && !Port().HungUp()) {
    platform::WaitReadable(Port().Handle(), UntilMs);
  } else {
    platform::WaitMessage(std::max<int64_t>(UntilMs - platform::NowMs(), 0));
  }
}

bool TKYRTNPP::Write(std::string_view Bytes) { return WriteBuffer(Bytes.data(), static_cast<int>(Bytes.size())); }

void TKYRTNPP::RaiseLinkEvent(TnppLinkEvent Event, const std::string& Packet) {
  switch (Event) {
    case TnppLinkEvent::kLinkError:
      if (OnLinkError) OnLinkError(*this);
      break;
    case TnppLinkEvent::kLinkTest:
      if (OnLinkTest) OnLinkTest(*this);
      break;
    case TnppLinkEvent::kCRCError:
      if (OnCRCError) OnCRCError(*this, Packet);
      break;
    case TnppLinkEvent::kRmtCancel:
      if (OnRmtCancel) OnRmtCancel(*this, Packet);
      break;
    case TnppLinkEvent::kPacketRequeue:
      if (OnPacketRequeue) OnPacketRequeue(*this, Packet);
      break;
    case TnppLinkEvent::kPacketSent:
      if (OnPacketSent) OnPacketSent(*this, Packet);
      break;
    case TnppLinkEvent::kSendPacket:
      if (OnSendPacket) OnSendPacket(*this, Packet);
      break;
    case TnppLinkEvent::kRxPacket:
      if (OnRxPacket) OnRxPacket(*this, Packet);
      break;
    case TnppLinkEvent::kTxPacket:
      if (OnTxPacket) OnTxPacket(*this, Packet);
      break;
  }
}

void TKYRTNPP::RaiseReceive(TnppBlock Block, const std::string& Packet, char& Rsp) {
  TPackRxEvent* event = nullptr;
  switch (Block) {
    case TnppBlock::kETERequest: event = &OnETERequest; break;
    case TnppBlock::kETEResponce: event = &OnETEResponce; break;
    case TnppBlock::kCapPage: event = &OnCapPage; break;
    case TnppBlock::kIdPage: event = &OnIdPage; break;
    case TnppBlock::kCommand: event = &OnCommand; break;
    case TnppBlock::kData: event = &OnData; break;
    case TnppBlock::kStatus: event = &OnStatus; break;
    case TnppBlock::kExtCapPage: event = &OnExtCapPage; break;
    case TnppBlock::kCapPageGroupCall: event = &OnCapPageGroupCall; break;
    case TnppBlock::kIDPageGroupCall: event = &OnIDPageGroupCall; break;
    case TnppBlock::kGroupCall: event = &OnGroupCall; break;
    case TnppBlock::kNone: break;
  }
  if (event && *event) (*event)(*this, Packet, Rsp);
}

}  // namespace vltg
