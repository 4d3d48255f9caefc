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

TSock::TSock() : FStream(std::make_unique<TSockStream>(*this)) {}

// A socket that failed to bind is neither connected nor listening but still
// open: it is closed here too.
TSock::~TSock() {
  // Accept threads find the listener gone from here on and free nothing;
  // their sockets are freed here, once.
  FAcceptSync.reset();
  FAcceptThreads.reset();
  FAccepted.clear();
  SetRAS(nullptr);
}

void TSock::SetRAS(TagRas* value) {
  if (FRAS == value) return;
  if (FRAS) std::erase(FRAS->FHolders, this);
  FRAS = value;
  if (FRAS) FRAS->FHolders.push_back(this);
}

bool TSock::GetAvailable() const { return platform::Socket::Create(platform::SocketKind::kStream) != nullptr; }

void TSock::SetSocketType(TSocketType value) {
  if (FListen) throw ESockException("SocketType - Can't Assign Socket Type While Listening");
  if (GetConnected()) throw ESockException("SocketType - Can't Assign Socket Type While Connected");
  FSocketType = value;
}

void TSock::SetHostName(const std::string& value) {
  const bool connected = GetConnected();
  if (connected && FSocketType == stStream) DoInfo(siLookUp, "Setting HostName While Connected Has No Effect");
  FHostName = value;
  // Later datagrams go to the new host.
  if (connected && FSocketType == stDatagram) FAddress.address = ResolveHost(FHostName);
}

void TSock::SetPortName(const std::string& value) {
  if (GetConnected()) DoInfo(siLookUp, "Setting PortName While Connected Has No Effect");
  FPortName = value;
}

void TSock::SetBlocking(bool value) {
  FBlocking = value;
  if (FSocket) ApplyBlocking();
}

void TSock::ApplyBlocking() {
  if (FBlocking && !FListen) {
    FSocket->Select(0, nullptr);
    FSocket->SetBlocking(true);
    return;
  }
  uint16_t mask = platform::kFdRead;
  if (FListen) {
    mask = platform::kFdAccept;
  } else if (FSocketType == stStream) {
    mask = kStreamNotices;
  }
  FSocket->Select(mask, [this](uint16_t event, int error) { WMSocket(event, error); });
}

bool TSock::Open() {
  if (FSocket) return FConnected;
  FSocket = platform::Socket::Create(FSocketType == stStream ? platform::SocketKind::kStream
                                                                : platform::SocketKind::kDatagram);
  if (!FSocket) {
    const int error = platform::LastSocketError();
    DoInfo(siError, "Error #" + std::to_string(error) + " (" + SocketErrorText(error) + ")");
    return false;
  }
  try {
    if (FRAS) DialUp();
    FAddress.port = ResolvePort(FPortName);
    FAddress.address = ResolveHost(FSocketType == stStream ? FHostName : std::string());
  } catch (...) {
    // Without this a later Open would find the socket and do nothing.
    // That holds for a failed dial too.
    FSocket.reset();
    throw;
  }
  ApplyBlocking();
  if (FSocketType == stStream) {
    const int rc = FSocket->Connect(FAddress);
    if (FBlocking && rc != 0) {
      DoInfo(siClose, "Blocking Socket Can't Connect");
      Close();
      return false;
    }
    // Non-blocking, the outcome comes later as a notice.
    FConnected = true;
    DoInfo(siConnect, "Blocking Socket Connected");
    if (OnConnect) OnConnect(*this);
  } else if (FSocket->Bind(FAddress) == 0) {
    FConnected = true;
    DoInfo(siConnect, "Datagram Socket Connected");
    if (OnConnect) OnConnect(*this);
  }
  return FConnected;
}

// Dials with the attached component, then waits until it counts connected
// or finds its connection, or its time-out has passed once more.
void TSock::DialUp() {
  FRAS->Dial();
  if (!FCountdown) FCountdown = std::make_unique<TTimeCounter>();
  FCountdown->FStartValue = FRAS->GetTimeOut();
  FCountdown->FExpired = false;
  FCountdown->Start();
  struct StopCountdown {
    TTimeCounter& countdown;
    ~StopCountdown() { countdown.Stop(); }
  } stop{*FCountdown};
  // The component may be destroyed by a handler while this pumps.
  while (FRAS && !FRAS->GetConnected() && !FRAS->FindConnection() && !FCountdown->FExpired) {
    platform::SleepPumping(5);
  }
}

void TSock::SetListen(bool value) {
  if (FSocket && !FListen) throw ESockException("Listen - Socket Already In Use");
  if (value && FSocketType == stDatagram) throw ESockException("Listen - Cannot Listen On A Datagram Socket");
  if (!value) {
    Close();
    DoInfo(siListen, "Listening Stopped");
    return;
  }
  if (FListen) {
    DoInfo(siListen, "Listening Already Running");
    return;
  }
  FSocket = platform::Socket::Create(platform::SocketKind::kStream);
  if (!FSocket) throw ESockException("Listen - Error Binding Socket");
  FListen = true;
  try {
    FAddress = {0, ResolvePort(FPortName)};
    FSocket->SetReuseAddress(true);
    ApplyBlocking();
    if (FSocket->Bind(FAddress) != 0) throw ESockException("Listen - Error Binding Socket");
    if (FSocket->Listen(5) != 0) throw ESockException("Listen - Error Starting Listen");
  } catch (...) {
    // A socket left open here would make every later Listen "already in use".
    FListen = false;
    FSocket.reset();
    throw;
  }
  DoInfo(siListen, "Listening Started");
}

// One waiting connection becomes a socket of its own, which this listener
// owns; it takes over the listener's mode, port, events and dial-up component.
void TSock::Accept() {
  if (!FAutoAccept || !OnAutoAccept) {
    if (OnAccept) OnAccept(*this);
    return;
  }
  auto accepted = FSocket->Accept(&FPeerAddress);
  if (!accepted) return;
  auto owned = std::make_unique<TSock>();
  TSock& sock = *owned;
  sock.FSocket = std::move(accepted);
  sock.FAddress = FPeerAddress;
  sock.FPeerAddress = FPeerAddress;
  sock.FBlockingTimeout = FBlockingTimeout;
  sock.OnRead = OnRead;
  sock.OnWrite = OnWrite;
  sock.OnDisconnect = OnDisconnect;
  sock.OnInfo = OnInfo;
  sock.OnFileProgress = OnFileProgress;
  sock.SetRAS(FRAS);
  sock.FConnected = true;
  sock.FPortName = FPortName;
  sock.FHostName = GetPeerAddress();
  sock.SetBlocking(FBlocking);
  FAccepted.push_back(std::move(owned));
  if (FBlocking) {
    TSockThread::Start(*this, sock);
  } else {
    OnAutoAccept(*this, sock);
  }
}

bool TSock::Close() {
  const bool was_listening = FListen;
  const bool closed = FSocket && FSocket->Close() == 0;
  FSocket.reset();
  FConnected = false;
  // Text not yet sent belonged to that connection; a later one must not get it.
  FOutgoing.clear();
  if (!was_listening) DoInfo(siClose, "Socket Closed");
  FListen = false;
  return closed;
}

bool TSock::GetConnected() {
  if (!FSocket) FConnected = false;
  return FConnected;
}

bool TSock::SendText(const std::string& text) {
  if (!FSocket) throw ESockException("Send - Socket Not Connected");
  if (FListen) throw ESockException("Send - Cannot Send On A Listener Socket");
  if (FSocketType == stDatagram) return SendDatagram(text, FHostName);
  FOutgoing += text;
  if (FOutgoing.empty()) return true;
  if (!FBlocking) {
    DoInfo(siSend, "Non-Blocking Outgoing Data");
    // What the socket does not take now goes with the next write notice.
    const ssize_t sent = FSocket->Send(FOutgoing);
    if (sent > 0) FOutgoing.erase(0, static_cast<size_t>(sent));
    return true;
  }
  do {
    const ssize_t sent = FSocket->Send(FOutgoing);
    if (sent < 0 && platform::LastSocketError() != platform::WSAEINPROGRESS) {
      DoInfo(siError, "Socket Error On Send");
      throw ESockException("Send - Socket Error");
    }
    if (sent > 0) FOutgoing.erase(0, static_cast<size_t>(sent));
    DoInfo(siSend, "Blocking Outgoing Data");
    platform::ProcessMessages();
  } while (!FOutgoing.empty() && FSocket);
  FOutgoing.clear();
  return true;
}

bool TSock::SendLine(const std::string& text) { return SendText(text + "\r\n"); }

std::string TSock::ReceiveCount(int count) {
  if (!FSocket && FReceived.empty()) throw ESockException("Receive - Socket Not Connected");
  if (FListen) throw ESockException("Receive - Cannot Receive On A Listener Socket");
  const size_t read_size = count == -1 || count > static_cast<int>(kReadSize) ? kReadSize
                           : count > 0                                         ? static_cast<size_t>(count)
                                                                               : 0;
  if (FSocketType == stDatagram) {
    std::string host, data;
    ReceiveDatagram(host, data);
    return data;
  }
  if (FBlocking) {
    if (GetConnected() && read_size > 0) {
      const int wait_ms = FBlockingTimeout < 0 ? -1 : FBlockingTimeout * 1000;
      if (FSocket->WaitReadable(wait_ms) == 1) {
        DoInfo(siReceive, "Blocking Incoming Data");
        std::vector<char> buffer(read_size);
        const ssize_t n = FSocket->Recv(buffer.data(), buffer.size());
        if (n < 0) {
          const int error = platform::LastSocketError();
          FReceived.clear();
          DoInfo(siError, "Socket Error On Receive");
          throw ESockException("Receive - Socket Error " + SocketErrorText(error));
        }
        if (n == 0) {
          DoInfo(siClose, "Socket Disconnected On Receive");
          Close();
          if (OnDisconnect) OnDisconnect(*this);
        } else {
          FReceived.append(buffer.data(), static_cast<size_t>(n));
        }
      }
    }
    std::string result;
    result.swap(FReceived);
    return result;
  }
  std::string result;
  if (count == -1 || (count >= 0 && static_cast<size_t>(count) >= FReceived.size())) {
    result.swap(FReceived);
  } else if (count > 0) {
    result = FReceived.substr(0, static_cast<size_t>(count));
    FReceived.erase(0, static_cast<size_t>(count));
  }
  return result;
}

bool TSock::SendDatagram(const std::string& text, const std::string& host) {
  if (!FSocket) throw ESockException("SendDatagram - Socket Not Connected");
  if (FSocketType == stStream) throw ESockException("SendDatagram - Datagram Send Not Supported On Stream Sockets");
  SetHostName(host);
  if (!text.empty()) FSocket->SendTo(text, FAddress);
  return true;
}

void TSock::ReceiveDatagram(std::string& host, std::string& data) {
  if (!FSocket) throw ESockException("ReceiveDatagram - Socket Not Connected");
  if (FSocketType == stStream) {
    throw ESockException("ReceiveDatagram - Datagram Receive Not Supported On Stream Sockets");
  }
  host.clear();
  data.clear();
  const int wait_ms = FBlockingTimeout < 0 ? -1 : FBlockingTimeout * 1000;
  if (FSocket->WaitReadable(wait_ms) != 1) return;
  std::vector<char> buffer(kReadSize);
  platform::SocketAddress from;
  const ssize_t n = FSocket->RecvFrom(buffer.data(), buffer.size(), &from);
  if (n < 0) return;
  FPeerAddress = from;
  data.assign(buffer.data(), static_cast<size_t>(n));
  host = GetPeerAddress();
}

std::string TSock::GetPeerAddress() const { return platform::DottedText(FPeerAddress.address); }

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
  const auto port = platform::LookupServicePort(name, FSocketType == stStream ? "tcp" : "udp");
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
      if (FSocketType == stStream) {
        std::vector<char> buffer(kReadSize);
        const ssize_t n = FSocket->Recv(buffer.data(), buffer.size());
        if (n > 0) FReceived.append(buffer.data(), static_cast<size_t>(n));
        DoInfo(siReceive, "Non-Blocking Incoming Data");
      }
      if (OnRead) OnRead(*this, static_cast<int>(FReceived.size()));
      break;
    }
    case platform::kFdWrite:
      if (!FOutgoing.empty()) SendText(std::string());
      DoInfo(siSend, "Non-Blocking Outgoing Data");
      if (OnWrite) OnWrite(*this);
      break;
    case platform::kFdConnect:
      FConnected = true;
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
