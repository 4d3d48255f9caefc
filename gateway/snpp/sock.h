#pragma once
// TSock: the TCP (and UDP) socket component. The SNPP client uses it as a
// non-blocking TCP client: set HostName and PortName, Open, poll
// GetConnected, SendLine commands, poll Receive for replies, Close.
//
// In the default non-blocking mode every socket notice (connect, read, write,
// close) is handled by WMSocket on the thread that opened the socket, and only
// while that thread pumps its messages; blocking mode has no notices. A
// component and its socket belong to that one thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/base/exception.h"
#include "platform/sockets/socket.h"

namespace vltg {

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
  // Closes a socket that is still open, without raising events.
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
  bool GetBlocking() const { return blocking_; }
  void SetBlocking(bool value);
  bool GetAutoAccept() const { return auto_accept_; }
  void SetAutoAccept(bool value) { auto_accept_ = value; }
  // Seconds a blocking or datagram receive waits; negative: no limit.
  int GetBlockingTimeout() const { return blocking_timeout_; }
  void SetBlockingTimeout(int value) { blocking_timeout_ = value; }
  int GetBytesAvailable() const { return static_cast<int>(received_.size()); }

  // Creates and connects (stream) or binds (datagram) the socket; the
  // connected flag. Non-blocking, a stream socket counts as connected at
  // once; a refused connect turns up later as a close.
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
  static constexpr size_t kReadSize = 8192;

  void WMSocket(uint16_t event, int error);
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
};

}  // namespace vltg
