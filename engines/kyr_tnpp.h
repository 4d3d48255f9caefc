#pragma once
// TNPP link component: a serial port that keeps a TNPP link up and sends
// queued page packets over it. Its own link thread does all reading and
// writing (engines/tnpp_link.h) and raises every event except OnPortClosed;
// the owner queues pages with SendPage from any thread. A device that hangs
// up or goes away (an adapter pulled) ends the link thread; the owner's
// thread closes the port, opens it again by its name after a growing pause
// and starts the link again, the packets still queued kept.
//
// Threads: create, set the properties, OpenLink and CloseLink on one thread
// (the owner), which must pump messages while the link runs; SendPage,
// GetTNPPQueue and GetLinkUp from any thread. Never call CloseLink from an
// event handler: the handlers run on the link thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engines/kyr_com32.h"
#include "engines/retry_pause.h"
#include "engines/tnpp_link.h"
#include "engines/tnpp_packet.h"
#include "engines/win_thread.h"
#include "platform/messages/timer.h"

namespace vltg {

class TKYRTNPP : public TKYRCom32, private TnppLinkPort {
 public:
  using TNotifyEvent = std::function<void(TKYRTNPP& Sender)>;
  using TSendingPackEvent = std::function<void(TKYRTNPP& Sender, const std::string& Packet)>;
  using TPackRxEvent = std::function<void(TKYRTNPP& Sender, const std::string& Packet, char& Rsp)>;
  using TPackRxTxEvent = std::function<void(TKYRTNPP& Sender, const std::string& Packet)>;

  TKYRTNPP();
  // CloseLink, then waits for the link thread.
  ~TKYRTNPP() override;

  // Opens the port and starts the link thread; nothing when the port is
  // already open, nothing more when it cannot be opened (Connected() stays
  // false).
  void OpenLink();
  // Stops the link thread, closes the port and raises OnPortClosed on the
  // calling thread; whether the link was up (true when the port was closed).
  bool CloseLink();
  // Queues a page for the link; false, nothing queued, while the port is
  // closed or the link is down (or a header field does not fit).
  bool SendPage(uint32_t DestAddr, uint16_t Inertia, const std::string& Capcode, const std::string& Msg);

  int GetInterCharTime() const { return FLink.Settings.InterCharTime; }
  void SetInterCharTime(int Value) { FLink.Settings.InterCharTime = Value; }
  int GetIdleRspTout() const { return FLink.Settings.IdleRspTout; }
  void SetIdleRspTout(int Value) { FLink.Settings.IdleRspTout = Value; }
  int GetBusyRspTout() const { return FLink.Settings.BusyRspTout; }
  void SetBusyRspTout(int Value) { FLink.Settings.BusyRspTout = Value; }
  int GetENQRspTout() const { return FLink.Settings.ENQRspTout; }
  void SetENQRspTout(int Value) { FLink.Settings.ENQRspTout = Value; }
  int GetRSHoldTime() const { return FLink.Settings.RSHoldTime; }
  void SetRSHoldTime(int Value) { FLink.Settings.RSHoldTime = Value; }
  int GetKeepAliveTout() const { return FLink.Settings.KeepAliveTout; }
  void SetKeepAliveTout(int Value) { FLink.Settings.KeepAliveTout = Value; }
  int GetRetrycount() const { return FLink.Settings.Retrycount; }
  void SetRetrycount(int Value) { FLink.Settings.Retrycount = Value; }
  int GetRSHoldRetry() const { return FRSHoldRetry; }  // stored only
  void SetRSHoldRetry(int Value) { FRSHoldRetry = Value; }
  int GetENQRetries() const { return FLink.Settings.ENQRetries; }
  void SetENQRetries(int Value) { FLink.Settings.ENQRetries = Value; }
  uint32_t GetSourceAddress() const { return FLink.Settings.SourceAddress; }
  void SetSourceAddress(uint32_t Value) { FLink.Settings.SourceAddress = Value; }
  bool GetSTXInit() const { return FLink.Settings.STXInit; }
  void SetSTXInit(bool Value) { FLink.Settings.STXInit = Value; }
  uint16_t GetInertia() const { return FLink.GetInertia(); }
  void SetInertia(uint16_t Value) { FLink.SetInertia(Value); }
  uint16_t GetDPSerNum() const { return FLink.GetDPSerNum(); }
  void SetDPSerNum(uint16_t Value) { FLink.SetDPSerNum(Value); }
  bool GetLinkUp() const { return FLink.GetLinkUp(); }
  // Opened and not closed by the owner: a page queued now goes once the link
  // is up, also while a lost device is being opened again.
  bool GetLinkOpen() const { return FLinkOpen; }
  void SetLinkUp(bool Value) { FLink.SetLinkUp(Value); }
  uint32_t GetDestAddr() const { return FDestAddr; }  // stored only: pages carry their own
  void SetDestAddr(uint32_t Value) { FDestAddr = Value; }
  int GetTNPPQueue() const { return FLink.QueueLength(); }
  // The page packets that were queued and never sent, taken out of the
  // queue; empty while the port is open (the link thread owns the queue).
  std::vector<std::string> TakeUnsentPages() {
    return Connected() ? std::vector<std::string>{} : FLink.TakeQueuedPages();
  }
  bool GetTransparentCRC() const { return FLink.Settings.TransparentCRC; }
  void SetTransparentCRC(bool Value) { FLink.Settings.TransparentCRC = Value; }
  tPacketSize GetPacketSize() const { return FLink.Settings.PacketSize; }
  void SetPacketSize(tPacketSize Value) { FLink.Settings.PacketSize = Value; }

  TNotifyEvent OnLinkError;          // the link is down (enquiries unanswered, or its thread ended)
  TSendingPackEvent OnCRCError;      // the peer answered the packet NAK
  TSendingPackEvent OnRmtCancel;     // ... CAN
  TSendingPackEvent OnPacketRequeue; // ... RS
  TSendingPackEvent OnPacketSent;    // ... ACK
  TSendingPackEvent OnSendPacket;    // the packet is about to be sent
  TNotifyEvent OnPortOpened;         // the link thread has started
  TNotifyEvent OnPortClosed;         // CloseLink has closed the port (caller's thread)
  TNotifyEvent OnLinkTest;           // EOT received: the link is up
  // The device hung up or went away: the port is closed and opened again
  // (owner's thread). Once per run of failures: the run ends when the link on
  // the reopened port is up, which OnPortRestored says (link thread, before
  // its OnLinkTest).
  TNotifyEvent OnPortLost;
  TNotifyEvent OnPortRestored;
  // A valid packet of the block type arrived; Rsp starts as CAN and is sent
  // back as one character.
  TPackRxEvent OnETERequest;         // '>'
  TPackRxEvent OnETEResponce;        // '<'
  TPackRxEvent OnCapPage;            // 'A'
  TPackRxEvent OnIdPage;             // 'B'
  TPackRxEvent OnCommand;            // 'C'
  TPackRxEvent OnData;               // 'D'
  TPackRxEvent OnStatus;             // 'E'
  TPackRxEvent OnExtCapPage;         // 'F'
  TPackRxEvent OnCapPageGroupCall;   // 'G'
  TPackRxEvent OnIDPageGroupCall;    // 'H'
  TPackRxEvent OnGroupCall;          // 'I'
  TPackRxTxEvent OnRxPacket;         // trace of what was received
  TPackRxTxEvent OnTxPacket;         // trace of what was sent

 private:
  int ReadChar() override;
  bool Write(std::string_view Bytes) override;
  void AwaitInput(int64_t UntilMs) override;
  // Starts the link thread on the open port.
  void StartLinkThread();
  uint32_t LinkThreadProc(TWinThread& Sender);
  // Owner's thread: the link thread has ended; a lost device is let go.
  void LinkThreadEnded();
  // Owner's thread, FReopenTimer: one try to open the lost device again.
  void RetryOpen();
  void RaiseLinkEvent(TnppLinkEvent Event, const std::string& Packet);
  void RaiseReceive(TnppBlock Block, const std::string& Packet, char& Rsp);

  int FRSHoldRetry = 24;
  uint32_t FDestAddr = 0;
  // Opened and not closed by the owner (read by SendPage); its device may be
  // away meanwhile.
  std::atomic<bool> FLinkOpen{false};
  std::atomic<bool> FDeviceLost{false};  // set by the link thread: its device is gone
  std::atomic<bool> FRestoring{false};   // a run of failures: from a loss until the link is up again
  bool FReopened = false;                // the link thread starts on a reopened port
  platform::Timer FReopenTimer;
  TRetryPause FReopenPause;

  // Link thread only: what the last read brought.
  char FReadBuffer[256] = {};
  int FReadCount = 0;
  int FReadPos = 0;

  TnppLink FLink{*this};
  TWinThread FLinkThread;  // last: ends before the link it runs
};

}  // namespace vltg
