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

  TSocketType GetSocketType() const { return socket_type_; }
  void SetSocketType(TSocketType value);
  // Stored only; nothing here interprets it.
  TLineBreak GetLineBreak() const { return line_break_; }
  void SetLineBreak(TLineBreak value) { line_break_ = value; }
  std::string GetHostName() const { return host_name_; }
  void SetHostName(const std::string& value);
  std::string GetPortName() const { return port_name_; }
  void SetPortName(const std::string& value);
  bool GetListen() const { return listen_; }
  // Starts (bound to any address at PortName) or stops listening.
  void SetListen(bool value);
  bool GetBlocking() const { return blocking_; }
  void SetBlocking(bool value);
  bool GetAutoAccept() const { return auto_accept_; }
  void SetAutoAccept(bool value) { auto_accept_ = value; }
  // Seconds a blocking or datagram receive waits; negative: no limit.
  int GetBlockingTimeout() const { return blocking_timeout_; }
  void SetBlockingTimeout(int value) { blocking_timeout_ = value; }
  int GetBytesAvailable() const { return static_cast<int>(received_.size()); }
  // Whether TCP/IP can be used on this machine.
  bool GetAvailable() const;
  // The dial-up component Open dials with first; none by default.
  TagRas* GetRAS() const { return ras_; }
  void SetRAS(TagRas* value);
  TSockStream& GetStream() { return *stream_; }
  // TSockThreads of this listener still running.
  int GetAcceptThreadCount() const { return accept_thread_count_.load(); }

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

  std::unique_ptr<platform::Socket> socket_;
  platform::SocketAddress address_;
  platform::SocketAddress peer_address_;
  TSocketType socket_type_ = stStream;
  TLineBreak line_break_ = lbSmart;
  std::string host_name_;
  std::string port_name_;
  std::string received_;
  std::string outgoing_;
  bool listen_ = false;
  bool blocking_ = false;
  bool auto_accept_ = false;
  bool connected_ = false;
  int blocking_timeout_ = 0;
  TagRas* ras_ = nullptr;
  std::unique_ptr<TTimeCounter> countdown_;  // made by the first dial, in its thread
  std::unique_ptr<TSockStream> stream_;

  std::vector<std::unique_ptr<TSock>> accepted_;
  std::unique_ptr<platform::MessageTarget> accept_sync_;  // where accept threads run their steps
  std::unique_ptr<TWinThread> accept_threads_;
  std::atomic<int> accept_thread_count_{0};
};

}  // namespace vltg
