#pragma once
// The TNPP link protocol as the link thread runs it: brings the link up with
// ENQ/EOT, tests it every KeepAliveTout seconds while idle, sends the queue
// head and handles ACK, NAK, CAN and RS, and answers the packets the peer
// sends. It reads and writes through a TnppLinkPort and counts every time-out
// as a deadline on the message layer's clock, so it runs the same on a serial
// port and against a scripted peer in virtual time.
//
// Threads: Run on one thread (the link thread), which also raises every
// event; QueuePage, QueueLength, the link-up flag, Inertia, DPSerNum and the
// stop mark from any thread (a queued page and the stop mark wake the link
// thread's wait). Set Settings before Run.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engines/tnpp_packet.h"
#include "platform/messages/message_queue.h"

namespace vltg {

// The line under the link.
class TnppLinkPort {
 public:
  virtual ~TnppLinkPort() = default;
  // The next received character (0 .. 255), or -1 when none is there.
  virtual int ReadChar() = 0;
  // True when all the bytes were written.
  virtual bool Write(std::string_view Bytes) = 0;
  // Waits, letting the thread's messages through, until a character may have
  // come, the clock reaches UntilMs, anything was dispatched or the thread
  // was woken (the link wakes it for a queued page and a stop).
  virtual void AwaitInput(int64_t UntilMs) = 0;
};

struct TnppLinkSettings {
  int InterCharTime = 2;   // seconds allowed between two characters of a received packet
  int IdleRspTout = 10;    // seconds of silence after a sent packet before ENQ
  int BusyRspTout = 60;    // seconds a sent packet's answer is awaited at most
  int ENQRspTout = 10;     // seconds to wait for EOT after ENQ
  int RSHoldTime = 10;     // seconds a lone packet is held after RS
  int KeepAliveTout = 60;  // seconds between link tests while idle
  int Retrycount = 6;      // transmissions of one packet at most
  int ENQRetries = 6;      // unanswered enquiries before the link is down
  uint32_t SourceAddress = 0;
  bool STXInit = true;  // the link-test packet carries STX
  bool TransparentCRC = false;
  tPacketSize PacketSize = ps4096;
};

enum class TnppLinkState : uint8_t { kStarting = 0, kEnquiring = 1, kIdle = 2, kAwaitingResponse = 4 };

enum class TnppLinkEvent : uint8_t {
  kLinkError,      // ENQRetries enquiries in a row went unanswered; the link is down
  kCRCError,       // the peer answered the packet NAK
  kRmtCancel,      // ... CAN
  kPacketRequeue,  // ... RS
  kPacketSent,     // ... ACK
  kSendPacket,     // the packet is about to be sent
  kLinkTest,       // EOT received
  kRxPacket,       // trace of what was received
  kTxPacket,       // trace of what was sent
};

class TnppLink {
 public:
  explicit TnppLink(TnppLinkPort& Port) : FPort(Port) {}
  TnppLink(const TnppLink&) = delete;
  TnppLink& operator=(const TnppLink&) = delete;

  TnppLinkSettings Settings;
  // Raised on the thread that runs the link; the queue lock is never held.
  std::function<void(TnppLinkEvent Event, const std::string& Packet)> OnEvent;
  // A valid packet of a known block type arrived (its inertia lowered); Rsp
  // starts as CAN and is sent back as one character.
  std::function<void(TnppBlock Block, const std::string& Packet, char& Rsp)> OnReceive;

  // Runs the link until Stop() turns true (it is asked at every step), then
  // marks it down. A lost link is brought up again without end.
  void Run(const std::function<bool()>& Stop);

  // Builds the page packet with the next serial number and queues it; false,
  // nothing queued, while the link is down or when an address, the inertia
  // or SourceAddress does not fit the header.
  bool QueuePage(uint32_t DestAddr, uint16_t Inertia, std::string_view Capcode, std::string_view Msg);
  int QueueLength() const;
  // Takes the page packets still queued out of the queue (for an owner that
  // closed the link and reports what it never sent).
  std::vector<std::string> TakeQueuedPages();

  bool GetLinkUp() const { return FLinkUp.load(); }
  void SetLinkUp(bool Value) { FLinkUp.store(Value); }
  TnppLinkState GetState() const { return FState.load(); }
  // Inertia of the next link-test packet; QueuePage sets it to each page's.
  uint16_t GetInertia() const;
  void SetInertia(uint16_t Value);
  // Serial number of the last packet queued.
  uint16_t GetDPSerNum() const;
  void SetDPSerNum(uint16_t Value);
  // While set, no packet is sent and a send in progress gives up after its
  // current wait (the link is about to be closed).
  void SetStopMark(bool Value);
  bool GetStopMark() const { return FStopMark.load(); }

 private:
  struct Queued {
    std::string Packet;
    bool LinkTest = false;
  };

  void StartLink();
  // `keep_head`: the head is on the line and keeps its number.
  void RenumberQueued(bool keep_head = false);
  void Serve();
  bool Enquire();
  int SendPacket(const std::string& Packet);
  int Receive();
  void WakeLinkThread() const;
  bool ReceivePacket(int& Result, int64_t& EnqDeadline, int& Tries);
  void AnswerPacket(std::string& Text, int& Result);

  bool Stopped() const { return FStop && (*FStop)(); }
  void Raise(TnppLinkEvent Event, const std::string& Packet = {});
  void WriteControl(char Code);
  void WriteControl(char Code, const std::string& Trace);
  void LinkLost();
  bool IsRecent(const std::string& Header) const;
  void Remember(const std::string& Header);

  std::string Head() const;
  void PopHead();
  void MoveHeadToTail();

  TnppLinkPort& FPort;
  const std::function<bool()>* FStop = nullptr;
  std::atomic<TnppLinkState> FState{TnppLinkState::kStarting};
  std::atomic<bool> FLinkUp{false};
  std::atomic<bool> FStopMark{false};

  mutable std::mutex FQueueLock;  // the queue, Inertia, DPSerNum and the link thread
  platform::ThreadRef FLinkThread;  // woken by a queued page and the stop mark
  std::deque<Queued> FQueue;
  uint16_t FInertia = 3;
  uint16_t FDPSerNum = 0;

  // Link thread only.
  std::deque<std::string> FRecent;  // headers of the packets answered ACK, newest last
  bool FRSHold = false;
  bool FSending = false;  // the queue head is on the line, awaiting its answer
  int64_t FRSHoldUntil = 0;
};

}  // namespace vltg
