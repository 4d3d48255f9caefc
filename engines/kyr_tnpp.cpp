#include "engines/kyr_tnpp.h"

#include <exception>

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
  FLinkThread.ThreadTerminate = [this](TWinThread&, TWinThreadParam&) {
    LinkThreadEnded();
    return 0u;
  };
  FReopenTimer.SetOnTimer([this] { RetryOpen(); });
}

TKYRTNPP::~TKYRTNPP() { CloseLink(); }

void TKYRTNPP::OpenLink() {
  if (Connected() || !Open()) return;
  FLink.SetStopMark(false);  // left by an earlier CloseLink
  FLinkOpen = true;
  FReopened = false;
  try {
    StartLinkThread();
  } catch (...) {
    FLinkOpen = false;
    Close();
    throw;
  }
}

void TKYRTNPP::StartLinkThread() {
  FReadCount = FReadPos = 0;
  FDeviceLost = false;
  FLinkThread.SetTag(0);
  FLinkThread.Execute(nullptr);
}

// The link thread has left the port: a device that hung up or went away is
// closed and tried again after the pause. A device lost again before its link
// came up belongs to the same run of failures: quiet, the pause growing.
void TKYRTNPP::LinkThreadEnded() {
  if (!FDeviceLost || !FLinkOpen) return;  // ended for a stop, or CloseLink is closing it
  Close();
  if (FRestoring.exchange(true)) {
    FReopenTimer.SetInterval(FReopenPause.Next());
  } else {
    FReopenTimer.SetInterval(FReopenPause.First());
    if (OnPortLost) OnPortLost(*this);
  }
  FReopenTimer.SetEnabled(true);
}

void TKYRTNPP::RetryOpen() {
  FReopenTimer.SetEnabled(false);
  if (!FLinkOpen || Connected()) return;
  if (Open()) {
    // The link starts afresh (its link test first) with what is still queued.
    FReopened = true;
    try {
      StartLinkThread();
      return;
    } catch (const std::exception&) {
      Close();
    }
  }
  FReopenTimer.SetInterval(FReopenPause.Next());
  FReopenTimer.SetEnabled(true);
}

bool TKYRTNPP::CloseLink() {
  FReopenTimer.SetEnabled(false);
  FRestoring = false;
  if (!Connected()) {
    FLinkOpen = false;  // a device that is away is not opened again
    return true;
  }
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
  // A device that is gone ends the link too; the owner's thread opens it again.
  auto stop = [this, &Sender] { return Sender.GetTag() != 0 || FDeviceLost; };
  try {
    if (!FReopened && OnPortOpened) OnPortOpened(*this);
    FLink.Run(stop);
  } catch (...) {
    // Nobody serves the link any more: pages are refused from now on.
    FLinkOpen = false;
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
    if (got < 0) FDeviceLost = true;  // failed or gone (a closed pseudo-terminal, an adapter pulled)
    FReadCount = got > 0 ? static_cast<int>(got) : 0;
    if (FReadCount == 0) return -1;
  }
  return static_cast<unsigned char>(FReadBuffer[FReadPos++]);
}

void TKYRTNPP::AwaitInput(int64_t UntilMs) {
  if (FReadPos < FReadCount) return;
  // A device that has hung up (an adapter pulled) polls readable at once for
  // ever with nothing to read: the link ends at its next step instead.
  if (Connected() && !Port().HungUp()) {
    platform::WaitReadable(Port().Handle(), UntilMs);
  } else {
    FDeviceLost = true;
  }
}

bool TKYRTNPP::Write(std::string_view Bytes) { return WriteBuffer(Bytes.data(), static_cast<int>(Bytes.size())); }

void TKYRTNPP::RaiseLinkEvent(TnppLinkEvent Event, const std::string& Packet) {
  switch (Event) {
    case TnppLinkEvent::kLinkError:
      if (OnLinkError) OnLinkError(*this);
      break;
    case TnppLinkEvent::kLinkTest:
      if (FRestoring.exchange(false) && OnPortRestored) OnPortRestored(*this);
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
