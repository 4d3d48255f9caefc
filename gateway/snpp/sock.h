#pragma once
// TSock: the TCP (and UDP) socket component. The SNPP client uses it as a
// non-blocking TCP client: set HostName and PortName, Open, poll
// GetConnected, SendLine commands, poll Receive for replies, Close.
//
// In the default non-blocking mode every socket notice (connect, read, write,
// close, accept) is handled by WMSocket on the thread that opened the socket,
// and only while that thread pumps its messages; blocking mode has no notices
// (a listener has them in either mode). A component and its socket belong to
// that one thread.
//
// A listener hands out each accepted connection as a TSock of its own, which
// the listener owns: a non-blocking listener raises OnAutoAccept at once, a
// blocking one through a TSockThread that then frees the socket.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/exception.h"
#include "platform/sockets/socket.h"

namespace vltg {

class TagRas;
class TSockStream;
class TSockThread;
class TTimeCounter;
class TWinThread;

class ESockException : public Exception {
 public:
  using Exception::Exception;
};

enum TSocketType { stStream, stDatagram };
enum TLineBreak { lbCRLF, lbCR, lbLF, lbSmart };
enum TSocketInfo { siLookUp, siConnect, siClose, siListen, siReceive, siSend, siAccept, siError };

// The window message of socket notices.
inline constexpr uint32_t WM_SOCKET = 1099;

// Unit start and stop of the socket component, once per process: start-up of
// the socket layer (raises "WSAStartup - Could Not Initialize WinSock") and the
// empty host-name cache; stop drops the cache.
void SockStartup();
void SockCleanup();

class TSock {
 public:
  using TNotifyEvent = std::function<void(TSock& sender)>;
  using TNotifyInfoEvent = std::function<void(TSock& sender, TSocketInfo info, const std::string& msg)>;
  using TNotifyReadEvent = std::function<void(TSock& sender, int count)>;
  using TNotifyAutoEvent = std::function<void(TSock& sender, TSock& new_sock)>;
  using TNotifyProgressEvent = std::function<void(TSock& sender, int size, int count)>;

  TSock();
  // Closes a socket that is still open, without raising events, and frees the
  // accepted sockets; accept threads still running end without touching them.
  ~TSock();
  TSock(const TSock&) = delete;
  TSock& operator=(const TSock&) = delete;

  TSocketType GetSocketType() const { return FSocketType; }
  void SetSocketType(TSocketType value);
  // Stored only; nothing here interprets it.
  TLineBreak GetLineBreak() const { return FLineBreak; }
  void SetLineBreak(TLineBreak value) { FLineBreak = value; }
  std::string GetHostName() const { return FHostName; }
  void SetHostName(const std::string& value);
  std::string GetPortName() const { return FPortName; }
  void SetPortName(const std::string& value);
  bool GetListen() const { return FListen; }
  // Starts (bound to any address at PortName) or stops listening.
  void SetListen(bool value);
  bool GetBlocking() const { return FBlocking; }
  void SetBlocking(bool value);
  bool GetAutoAccept() const { return FAutoAccept; }
  void SetAutoAccept(bool value) { FAutoAccept = value; }
  // Seconds a blocking or datagram receive waits; negative: no limit.
  int GetBlockingTimeout() const { return FBlockingTimeout; }
  void SetBlockingTimeout(int value) { FBlockingTimeout = value; }
  int GetBytesAvailable() const { return static_cast<int>(FReceived.size()); }
  // Whether TCP/IP can be used on this machine.
  bool GetAvailable() const;
  // The dial-up component Open dials with first; none by default.
  TagRas* GetRAS() const { return FRAS; }
  void SetRAS(TagRas* value);
  TSockStream& GetStream() { return *FStream; }
  // TSockThreads of this listener still running.
  int GetAcceptThreadCount() const { return FAcceptThreadCount.load(); }

  // Creates and connects (stream) or binds (datagram) the socket; the
  // connected flag. Non-blocking, a stream socket counts as connected at
  // once; a refused connect turns up later as a close. With RAS set it dials
  // first; a failed dial raises (ERASError, ECanceledError, ETimedOutError).
  bool Open();
  // True when the socket was closed without error.
  bool Close();
  bool GetConnected();
  // Always True; errors raise ESockException.
  bool SendText(const std::string& text);
  bool SendLine(const std::string& text);
  // Up to `count` received bytes (-1: everything); what is returned leaves
  // the received text.
  std::string ReceiveCount(int count);
  std::string ReceiveText() { return ReceiveCount(-1); }
  std::string Receive() { return ReceiveCount(-1); }
  bool SendDatagram(const std::string& text, const std::string& host);
  void ReceiveDatagram(std::string& host, std::string& data);
  std::string GetPeerAddress() const;
  static std::string SocketErrorText(int code);
  void DoInfo(TSocketInfo info, const std::string& msg);

  TNotifyEvent OnConnect;
  TNotifyEvent OnDisconnect;
  TNotifyInfoEvent OnInfo;
  TNotifyReadEvent OnRead;
  TNotifyEvent OnWrite;
  TNotifyEvent OnAccept;
  TNotifyAutoEvent OnAutoAccept;
  TNotifyProgressEvent OnFileProgress;

 private:
  friend class TagRas;
  friend class TSockThread;
  static constexpr size_t kReadSize = 8192;

  void WMSocket(uint16_t event, int error);
  void Accept();
  void DialUp();
  uint16_t ResolvePort(const std::string& name);
  uint32_t ResolveHost(const std::string& name);
  void ApplyBlocking();

  std::unique_ptr<platform::Socket> FSocket;
  platform::SocketAddress FAddress;
  platform::SocketAddress FPeerAddress;
  TSocketType FSocketType = stStream;
  TLineBreak FLineBreak = lbSmart;
  std::string FHostName;
  std::string FPortName;
  std::string FReceived;
  std::string FOutgoing;
  bool FListen = false;
  bool FBlocking = false;
  bool FAutoAccept = false;
  bool FConnected = false;
  int FBlockingTimeout = 0;
  TagRas* FRAS = nullptr;
  std::unique_ptr<TTimeCounter> FCountdown;  // made by the first dial, in its thread
  std::unique_ptr<TSockStream> FStream;

  std::vector<std::unique_ptr<TSock>> FAccepted;
  std::unique_ptr<platform::MessageTarget> FAcceptSync;  // where accept threads run their steps
  std::unique_ptr<TWinThread> FAcceptThreads;
  std::atomic<int> FAcceptThreadCount{0};
};

}  // namespace vltg
