#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gateway/snpp/ag_ras.h"
#include "gateway/snpp/sock.h"
#include "gateway/snpp/sock_stream.h"
#include "platform/messages/message_queue.h"
#include "tests/support/pump_until.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/thrown_text.h"

namespace vltg {
namespace {

using namespace std::chrono_literals;
using test::PumpUntil;
using test::ThrownText;
using Texts = std::vector<std::string>;

class SockListenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SockStartup();
    port_ = std::to_string(test::UnusedLocalPort());
    listener_ = std::make_unique<TSock>();
    listener_->SetPortName(port_);
    listener_->OnInfo = [this](TSock&, TSocketInfo info, const std::string& msg) {
      infos_.push_back(std::to_string(info) + ":" + msg);
    };
  }

  // A plain blocking client that has sent `text`, so the listener's thread may
  // block reading the accepted socket.
  int RawConnect(const std::string& text) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(std::stoi(port_)));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    EXPECT_EQ(send(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    return fd;
  }

  // Everything until the peer closes; the descriptor is closed.
  static std::string RawReceiveAll(int fd) {
    std::string all;
    char buffer[256];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) all.append(buffer, static_cast<size_t>(n));
    close(fd);
    return n == 0 ? all : all + "<no close>";
  }

  std::string port_;
  std::unique_ptr<TSock> listener_;
  Texts infos_;
};

TEST_F(SockListenTest, ListenSetterChecksTextsAndAFailedBind) {
  listener_->SetListen(true);
  listener_->SetListen(true);
  EXPECT_TRUE(listener_->GetListen());
  EXPECT_EQ(ThrownText([&] { listener_->SendLine("x"); }), "Send - Cannot Send On A Listener Socket");

  // A bind that fails leaves no socket in the way of the next Listen.
  TSock second;
  second.SetPortName(port_);
  EXPECT_EQ(ThrownText([&] { second.SetListen(true); }), "Listen - Error Binding Socket");
  EXPECT_FALSE(second.GetListen());
  second.SetPortName(std::to_string(test::UnusedLocalPort()));
  second.SetListen(true);
  EXPECT_TRUE(second.GetListen());

  listener_->SetListen(false);
  EXPECT_EQ(infos_, (Texts{"0:Lookup Of Port " + port_, "3:Listening Started", "3:Listening Already Running",
                           "3:Listening Stopped"}));

  test::ScriptedSnppServer server;
  TSock client;
  client.SetHostName("127.0.0.1");
  client.SetPortName(server.PortName());
  ASSERT_TRUE(client.Open());
  EXPECT_EQ(ThrownText([&] { client.SetListen(true); }), "Listen - Socket Already In Use");
  TSock udp;
  udp.SetSocketType(stDatagram);
  EXPECT_EQ(ThrownText([&] { udp.SetListen(true); }), "Listen - Cannot Listen On A Datagram Socket");
}

TEST_F(SockListenTest, AutoAcceptHandsOutAConnectedSocketWithTheListenersSettings) {
  TagRas ras;
  TSock* accepted = nullptr;
  Texts reads;
  listener_->SetRAS(&ras);
  listener_->SetAutoAccept(true);
  listener_->SetBlockingTimeout(7);
  listener_->OnAutoAccept = [&](TSock&, TSock& new_sock) { accepted = &new_sock; };
  listener_->OnRead = [&](TSock& sender, int) { reads.push_back(sender.Receive()); };
  listener_->SetListen(true);

  TSock client;
  client.SetHostName("127.0.0.1");
  client.SetPortName(port_);
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(PumpUntil([&] { return accepted != nullptr; }));
  EXPECT_TRUE(accepted->GetConnected());
  EXPECT_EQ(accepted->GetHostName(), "127.0.0.1");
  EXPECT_EQ(accepted->GetPortName(), port_);
  EXPECT_EQ(accepted->GetBlockingTimeout(), 7);
  EXPECT_EQ(accepted->GetRAS(), &ras);

  // The copied OnRead is raised by the accepted socket.
  client.SendText("hello");
  ASSERT_TRUE(PumpUntil([&] { return !reads.empty(); }));
  EXPECT_EQ(reads, Texts{"hello"});
  accepted->SendText("world");
  ASSERT_TRUE(PumpUntil([&] { return client.GetBytesAvailable() == 5; }));
  EXPECT_EQ(client.Receive(), "world");
}

TEST_F(SockListenTest, WithoutAutoAcceptOrItsHandlerOnAcceptIsRaised) {
  int accepts = 0;
  listener_->OnAccept = [&](TSock&) { ++accepts; };
  listener_->SetListen(true);
  close(RawConnect(""));
  ASSERT_TRUE(PumpUntil([&] { return accepts == 1; }));

  listener_->SetListen(false);
  listener_->SetAutoAccept(true);
  listener_->SetListen(true);
  close(RawConnect(""));
  EXPECT_TRUE(PumpUntil([&] { return accepts == 2; }));
}

TEST_F(SockListenTest, ABlockingListenerRunsOnAutoAcceptThroughAThreadAndThenFreesTheSocket) {
  const auto test_thread = std::this_thread::get_id();
  Texts received;
  listener_->SetBlocking(true);
  listener_->SetBlockingTimeout(5);
  listener_->SetAutoAccept(true);
  listener_->OnAutoAccept = [&](TSock&, TSock& new_sock) {
    EXPECT_EQ(std::this_thread::get_id(), test_thread);
    received.push_back(new_sock.Receive());
    new_sock.SendLine("got " + received.back());
    throw ESockException("swallowed");
  };
  listener_->SetListen(true);
  for (const std::string text : {"one", "two"}) {
    const int client = RawConnect(text);
    ASSERT_TRUE(PumpUntil([&] { return received.size() == (text == "one" ? 1u : 2u); }));
    ASSERT_TRUE(PumpUntil([&] { return listener_->GetAcceptThreadCount() == 0; }));
    // Freeing the accepted socket closed the connection.
    EXPECT_EQ(RawReceiveAll(client), "got " + text + "\r\n");
  }
}

TEST_F(SockListenTest, DestroyingABlockingListenerWhileItsThreadsRunFreesEachSocketOnce) {
  int handled = 0;
  listener_->SetBlocking(true);
  listener_->SetAutoAccept(true);
  listener_->OnAutoAccept = [&](TSock&, TSock&) { ++handled; };
  listener_->SetListen(true);
  const int client = RawConnect("");
  // Stop pumping as soon as the thread is started, before it is served.
  const auto end = std::chrono::steady_clock::now() + 30s;
  while (listener_->GetAcceptThreadCount() == 0 && std::chrono::steady_clock::now() < end) {
    platform::ProcessMessages();
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(listener_->GetAcceptThreadCount(), 1);
  listener_.reset();
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(RawReceiveAll(client), "");
}

TEST(SockDatagram, RoundTripAndTheDatagramChecks) {
  SockStartup();
  TSock udp;
  std::string host = "stale", data = "stale";
  EXPECT_EQ(ThrownText([&] { udp.ReceiveDatagram(host, data); }), "ReceiveDatagram - Socket Not Connected");
  udp.SetSocketType(stDatagram);
  udp.SetPortName(std::to_string(test::UnusedLocalPort()));
  int reads = 0;
  udp.OnRead = [&](TSock&, int) { ++reads; };
  ASSERT_TRUE(udp.Open());

  // Nothing waiting: a zero time-out returns at once with both emptied.
  const auto start = std::chrono::steady_clock::now();
  udp.ReceiveDatagram(host, data);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);  // no wait for a datagram
  EXPECT_EQ(host + data, "");

  // Datagrams go to the socket's own port on the host given: here, itself.
  EXPECT_TRUE(udp.SendDatagram("", "127.0.0.1"));
  EXPECT_TRUE(udp.SendDatagram("ping", "127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return reads == 1; }));
  udp.ReceiveDatagram(host, data);
  EXPECT_EQ(host, "127.0.0.1");
  EXPECT_EQ(data, "ping");
  // The empty datagram was never sent.
  EXPECT_EQ(udp.Receive(), "");

  test::ScriptedSnppServer server;
  TSock tcp;
  tcp.SetHostName("127.0.0.1");
  tcp.SetPortName(server.PortName());
  ASSERT_TRUE(tcp.Open());
  EXPECT_EQ(ThrownText([&] { tcp.SendDatagram("x", "127.0.0.1"); }),
            "SendDatagram - Datagram Send Not Supported On Stream Sockets");
}

TEST(SockStream, ReadsWritesAndHasNoPosition) {
  SockStartup();
  test::ScriptedSnppServer server;
  TSock sock;
  sock.SetBlocking(true);
  sock.SetBlockingTimeout(5);
  sock.SetHostName("127.0.0.1");
  sock.SetPortName(server.PortName());
  ASSERT_TRUE(sock.Open());
  TSockStream& stream = sock.GetStream();
  EXPECT_EQ(stream.Seek(100, 0), 0);

  char buffer[64] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 20);
  EXPECT_EQ(std::string(buffer, 20), "SNPP Gateway Ready\r\n");
  EXPECT_EQ(stream.Write("QUIT\r\n", 6), 6);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 17);
  // The server closed: the read that finds it closes the socket.
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);
  EXPECT_FALSE(sock.GetConnected());
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(ThrownText<ESockException>([&] { stream.Write("x", 1); }), "Send Socket Disconnected!");
}

}  // namespace
}  // namespace vltg
