#include "gateway/snpp/sock.h"

#include <vector>

#include "engines/time_counter.h"
#include "engines/win_thread.h"
#include "gateway/snpp/ag_ras.h"
#include "gateway/snpp/sock_stream.h"
#include "gateway/snpp/sock_thread.h"
#include "platform/base/convert_error.h"
#include "platform/messages/message_queue.h"
#include "platform/sockets/host_name_cache.h"
#include "platform/sockets/resolver.h"
#include "platform/sockets/socket_errors.h"

namespace vltg {
namespace {

constexpr uint16_t kStreamNotices =
    platform::kFdRead | platform::kFdWrite | platform::kFdConnect | platform::kFdClose;

bool IsDottedNumber(const std::string& name) {
  return name.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

void SockStartup() {
  if (!platform::SocketStartup()) throw ESockException("WSAStartup - Could Not Initialize WinSock");
  platform::ClearHostNameCache();
}

void SockCleanup() { platform::ClearHostNameCache(); }

TSock::TSock() : stream_(std::make_unique<TSockStream>(*this)) {}

// A socket that failed to bind is neither connected nor listening but still
// open: it is closed here too.
TSock::~TSock() {
  // Accept threads find the listener gone from here on and free nothing;
  // their sockets are freed here, once.
  accept_sync_.reset();
  accept_threads_.reset();
  accepted_.clear();
  SetRAS(nullptr);
}

void TSock::SetRAS(TagRas* value) {
  if (ras_ == value) return;
  if (ras_) std::erase(ras_->holders_, this);
  ras_ = value;
  if (ras_) ras_->holders_.push_back(this);
}

bool TSock::GetAvailable() const { return platform::Socket::Create(platform::SocketKind::kStream) != nullptr; }

void TSock::SetSocketType(TSocketType value) {
  if (listen_) throw ESockException("SocketType - Can't Assign Socket Type While Listening");
  if (GetConnected()) throw ESockException("SocketType - Can't Assign Socket Type While Connected");
  socket_type_ = value;
}

void TSock::SetHostName(const std::string& value) {
  const bool connected = GetConnected();
  if (connected && socket_type_ == stStream) DoInfo(siLookUp, "Setting HostName While Connected Has No Effect");
  host_name_ = value;
  // Later datagrams go to the new host.
  if (connected && socket_type_ == stDatagram) address_.address = ResolveHost(host_name_);
}

void TSock::SetPortName(const std::string& value) {
  if (GetConnected()) DoInfo(siLookUp, "Setting PortName While Connected Has No Effect");
  port_name_ = value;
}

void TSock::SetBlocking(bool value) {
  blocking_ = value;
  if (socket_) ApplyBlocking();
}

void TSock::ApplyBlocking() {
  if (blocking_ && !listen_) {
    socket_->Select(0, nullptr);
    socket_->SetBlocking(true);
    return;
  }
  uint16_t mask = platform::kFdRead;
  if (listen_) {
    mask = platform::kFdAccept;
  } else if (socket_type_ == stStream) {
    mask = kStreamNotices;
  }
  socket_->Select(mask, [this](uint16_t event, int error) { WMSocket(event, error); });
}

bool TSock::Open() {
  if (socket_) return connected_;
  socket_ = platform::Socket::Create(socket_type_ == stStream ? platform::SocketKind::kStream
                                                                : platform::SocketKind::kDatagram);
  if (!socket_) {
    const int error = platform::LastSocketError();
    DoInfo(siError, "Error #" + std::to_string(error) + " (" + SocketErrorText(error) + ")");
    return false;
  }
  try {
    if (ras_) DialUp();
    address_.port = ResolvePort(port_name_);
    address_.address = ResolveHost(socket_type_ == stStream ? host_name_ : std::string());
  } catch (...) {
    // Without this a later Open would find the socket and do nothing.
    // That holds for a failed dial too.
    socket_.reset();
    throw;
  }
  ApplyBlocking();
  if (socket_type_ == stStream) {
    const int rc = socket_->Connect(address_);
    if (blocking_ && rc != 0) {
      DoInfo(siClose, "Blocking Socket Can't Connect");
      Close();
      return false;
    }
    // Non-blocking, the outcome comes later as a notice.
    connected_ = true;
    DoInfo(siConnect, "Blocking Socket Connected");
    if (OnConnect) OnConnect(*this);
  } else if (socket_->Bind(address_) == 0) {
    connected_ = true;
    DoInfo(siConnect, "Datagram Socket Connected");
    if (OnConnect) OnConnect(*this);
  }
  return connected_;
}

// Dials with the attached component, then waits until it counts connected
// or finds its connection, or its time-out has passed once more.
void TSock::DialUp() {
  ras_->Dial();
  if (!countdown_) countdown_ = std::make_unique<TTimeCounter>();
  countdown_->FStartValue = ras_->GetTimeOut();
  countdown_->FExpired = false;
  countdown_->Start();
  struct StopCountdown {
    TTimeCounter& countdown;
    ~StopCountdown() { countdown.Stop(); }
  } stop{*countdown_};
  // The component may be destroyed by a handler while this pumps.
  while (ras_ && !ras_->GetConnected() && !ras_->FindConnection() && !countdown_->FExpired) {
    platform::SleepPumping(5);
  }
}

void TSock::SetListen(bool value) {
  if (socket_ && !listen_) throw ESockException("Listen - Socket Already In Use");
  if (value && socket_type_ == stDatagram) throw ESockException("Listen - Cannot Listen On A Datagram Socket");
  if (!value) {
    Close();
    DoInfo(siListen, "Listening Stopped");
    return;
  }
  if (listen_) {
    DoInfo(siListen, "Listening Already Running");
    return;
  }
  socket_ = platform::Socket::Create(platform::SocketKind::kStream);
  if (!socket_) throw ESockException("Listen - Error Binding Socket");
  listen_ = true;
  try {
    address_ = {0, ResolvePort(port_name_)};
    socket_->SetReuseAddress(true);
    ApplyBlocking();
    if (socket_->Bind(address_) != 0) throw ESockException("Listen - Error Binding Socket");
    if (socket_->Listen(5) != 0) throw ESockException("Listen - Error Starting Listen");
  } catch (...) {
    // A socket left open here would make every later Listen "already in use".
    listen_ = false;
    socket_.reset();
    throw;
  }
  DoInfo(siListen, "Listening Started");
}

// One waiting connection becomes a socket of its own, which this listener
// owns; it takes over the listener's mode, port, events and dial-up component.
void TSock::Accept() {
  if (!auto_accept_ || !OnAutoAccept) {
    if (OnAccept) OnAccept(*this);
    return;
  }
  auto accepted = socket_->Accept(&peer_address_);
  if (!accepted) return;
  auto owned = std::make_unique<TSock>();
  TSock& sock = *owned;
  sock.socket_ = std::move(accepted);
  sock.address_ = peer_address_;
  sock.peer_address_ = peer_address_;
  sock.blocking_timeout_ = blocking_timeout_;
  sock.OnRead = OnRead;
  sock.OnWrite = OnWrite;
  sock.OnDisconnect = OnDisconnect;
  sock.OnInfo = OnInfo;
  sock.OnFileProgress = OnFileProgress;
  sock.SetRAS(ras_);
  sock.connected_ = true;
  sock.port_name_ = port_name_;
  sock.host_name_ = GetPeerAddress();
  sock.SetBlocking(blocking_);
  accepted_.push_back(std::move(owned));
  if (blocking_) {
    TSockThread::Start(*this, sock);
  } else {
    OnAutoAccept(*this, sock);
  }
}

bool TSock::Close() {
  const bool was_listening = listen_;
  const bool closed = socket_ && socket_->Close() == 0;
  socket_.reset();
  connected_ = false;
  // Text not yet sent belonged to that connection; a later one must not get it.
  outgoing_.clear();
  if (!was_listening) DoInfo(siClose, "Socket Closed");
  listen_ = false;
  return closed;
}

bool TSock::GetConnected() {
  if (!socket_) connected_ = false;
  return connected_;
}

bool TSock::SendText(const std::string& text) {
  if (!socket_) throw ESockException("Send - Socket Not Connected");
  if (listen_) throw ESockException("Send - Cannot Send On A Listener Socket");
  if (socket_type_ == stDatagram) return SendDatagram(text, host_name_);
  outgoing_ += text;
  if (outgoing_.empty()) return true;
  if (!blocking_) {
    DoInfo(siSend, "Non-Blocking Outgoing Data");
    // What the socket does not take now goes with the next write notice.
    const ssize_t sent = socket_->Send(outgoing_);
    if (sent > 0) outgoing_.erase(0, static_cast<size_t>(sent));
    return true;
  }
  do {
    const ssize_t sent = socket_->Send(outgoing_);
    if (sent < 0 && platform::LastSocketError() != platform::WSAEINPROGRESS) {
      DoInfo(siError, "Socket Error On Send");
      throw ESockException("Send - Socket Error");
    }
    if (sent > 0) outgoing_.erase(0, static_cast<size_t>(sent));
    DoInfo(siSend, "Blocking Outgoing Data");
    platform::ProcessMessages();
  } while (!outgoing_.empty() && socket_);
  outgoing_.clear();
  return true;
}

bool TSock::SendLine(const std::string& text) { return SendText(text + "\r\n"); }

std::string TSock::ReceiveCount(int count) {
  if (!socket_ && received_.empty()) throw ESockException("Receive - Socket Not Connected");
  if (listen_) throw ESockException("Receive - Cannot Receive On A Listener Socket");
  const size_t read_size = count == -1 || count > static_cast<int>(kReadSize) ? kReadSize
                           : count > 0                                         ? static_cast<size_t>(count)
                                                                               : 0;
  if (socket_type_ == stDatagram) {
    std::string host, data;
    ReceiveDatagram(host, data);
    return data;
  }
  if (blocking_) {
    if (GetConnected() && read_size > 0) {
      const int wait_ms = blocking_timeout_ < 0 ? -1 : blocking_timeout_ * 1000;
      if (socket_->WaitReadable(wait_ms) == 1) {
        DoInfo(siReceive, "Blocking Incoming Data");
        std::vector<char> buffer(read_size);
        const ssize_t n = socket_->Recv(buffer.data(), buffer.size());
        if (n < 0) {
          const int error = platform::LastSocketError();
          received_.clear();
          DoInfo(siError, "Socket Error On Receive");
          throw ESockException("Receive - Socket Error " + SocketErrorText(error));
        }
        if (n == 0) {
          DoInfo(siClose, "Socket Disconnected On Receive");
          Close();
          if (OnDisconnect) OnDisconnect(*this);
        } else {
          received_.append(buffer.data(), static_cast<size_t>(n));
        }
      }
    }
    std::string result;
    result.swap(received_);
    return result;
  }
  std::string result;
  if (count == -1 || (count >= 0 && static_cast<size_t>(count) >= received_.size())) {
    result.swap(received_);
  } else if (count > 0) {
    result = received_.substr(0, static_cast<size_t>(count));
    received_.erase(0, static_cast<size_t>(count));
  }
  return result;
}

bool TSock::SendDatagram(const std::string& text, const std::string& host) {
  if (!socket_) throw ESockException("SendDatagram - Socket Not Connected");
  if (socket_type_ == stStream) throw ESockException("SendDatagram - Datagram Send Not Supported On Stream Sockets");
  SetHostName(host);
  if (!text.empty()) socket_->SendTo(text, address_);
  return true;
}

void TSock::ReceiveDatagram(std::string& host, std::string& data) {
  if (!socket_) throw ESockException("ReceiveDatagram - Socket Not Connected");
  if (socket_type_ == stStream) {
    throw ESockException("ReceiveDatagram - Datagram Receive Not Supported On Stream Sockets");
  }
  host.clear();
  data.clear();
  const int wait_ms = blocking_timeout_ < 0 ? -1 : blocking_timeout_ * 1000;
  if (socket_->WaitReadable(wait_ms) != 1) return;
  std::vector<char> buffer(kReadSize);
  platform::SocketAddress from;
  const ssize_t n = socket_->RecvFrom(buffer.data(), buffer.size(), &from);
  if (n < 0) return;
  peer_address_ = from;
  data.assign(buffer.data(), static_cast<size_t>(n));
  host = GetPeerAddress();
}

std::string TSock::GetPeerAddress() const { return platform::DottedText(peer_address_.address); }

std::string TSock::SocketErrorText(int code) { return platform::SocketErrorText(code); }

void TSock::DoInfo(TSocketInfo info, const std::string& msg) {
  if (OnInfo) OnInfo(*this, info, msg);
}

uint32_t TSock::ResolveHost(const std::string& name) {
  if (name.empty()) return 0;  // any address
  DoInfo(siLookUp, "Lookup Of Host " + name);
  if (IsDottedNumber(name)) {
    const auto address = platform::ParseDottedAddress(name);
    if (!address) throw ESockException("Host Lookup - Could Not Find Host Entry");
    return *address;
  }
  if (const auto cached = platform::FindCachedHost(name)) return *cached;
  const auto address = platform::LookupHostAddress(name);
  if (!address) throw ESockException("Host Lookup - Could Not Find Host Entry");
  platform::AddCachedHost(name, *address);
  return *address;
}

uint16_t TSock::ResolvePort(const std::string& name) {
  DoInfo(siLookUp, "Lookup Of Port " + name);
  if (name.empty()) throw ESockException("Port Lookup - Could Not Find Service Entry");
  if (name[0] >= '0' && name[0] <= '9') {
    const int32_t port = platform::StrToInt(name);
    if (port < 0 || port > 0xFFFF) throw ESockException("Port Lookup - Could Not Find Service Entry");
    return platform::NetworkPort(static_cast<uint16_t>(port));
  }
  const auto port = platform::LookupServicePort(name, socket_type_ == stStream ? "tcp" : "udp");
  if (!port) throw ESockException("Port Lookup - Could Not Find Service Entry");
  return *port;
}

void TSock::WMSocket(uint16_t event, int error) {
  if (error > 10000) {
    DoInfo(siError, "Error #" + std::to_string(error) + " (" + SocketErrorText(error) + ")");
    // A refused or broken connection is over: it must not stay counted as
    // connected until every wait on it has run out.
    if (event == platform::kFdConnect || event == platform::kFdClose) {
      if (OnDisconnect) OnDisconnect(*this);
      Close();
    }
    return;
  }
  switch (event) {
    case platform::kFdRead: {
      if (socket_type_ == stStream) {
        std::vector<char> buffer(kReadSize);
        const ssize_t n = socket_->Recv(buffer.data(), buffer.size());
        if (n > 0) received_.append(buffer.data(), static_cast<size_t>(n));
        DoInfo(siReceive, "Non-Blocking Incoming Data");
      }
      if (OnRead) OnRead(*this, static_cast<int>(received_.size()));
      break;
    }
    case platform::kFdWrite:
      if (!outgoing_.empty()) SendText(std::string());
      DoInfo(siSend, "Non-Blocking Outgoing Data");
      if (OnWrite) OnWrite(*this);
      break;
    case platform::kFdConnect:
      connected_ = true;
      DoInfo(siConnect, "Non-Blocking Socket Connected");
      if (OnConnect) OnConnect(*this);
      break;
    case platform::kFdClose:
      if (OnDisconnect) OnDisconnect(*this);
      Close();
      break;
    case platform::kFdAccept:
      Accept();
      break;
    default:
      break;
  }
}

}  // namespace vltg
