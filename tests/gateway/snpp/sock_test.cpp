#include "gateway/snpp/sock.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/message_queue.h"
#include "platform/sockets/host_name_cache.h"
#include "platform/sockets/resolver.h"
#include "tests/support/pump_until.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/thrown_text.h"

namespace vltg {
namespace {

using namespace std::chrono_literals;

using test::PumpUntil;
using test::ThrownText;

class SockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SockStartup();
    sock_.OnInfo = [this](TSock&, TSocketInfo info, const std::string& msg) {
      infos_.push_back(std::to_string(info) + ":" + msg);
    };
    sock_.OnConnect = [this](TSock&) { ++connects_; };
    sock_.OnDisconnect = [this](TSock&) { ++disconnects_; };
  }

  TSock sock_;
  std::vector<std::string> infos_;
  int connects_ = 0;
  int disconnects_ = 0;
};

TEST_F(SockTest, ConnectReceiveAndPeerCloseGiveTheirInfosAndEvents) {
  test::ScriptedSnppServer server;
  sock_.SetHostName("127.0.0.1");
  sock_.SetPortName(server.PortName());
  ASSERT_TRUE(sock_.Open());
  EXPECT_EQ(infos_, (std::vector<std::string>{"0:Lookup Of Port " + server.PortName(), "0:Lookup Of Host 127.0.0.1",
                                              "1:Blocking Socket Connected"}));
  ASSERT_TRUE(PumpUntil([&] { return sock_.GetBytesAvailable() == 24; }));
  EXPECT_EQ(std::vector<std::string>(infos_.begin() + 3, infos_.end()),
            (std::vector<std::string>{"1:Non-Blocking Socket Connected", "5:Non-Blocking Outgoing Data",
                                      "4:Non-Blocking Incoming Data"}));
  EXPECT_EQ(connects_, 2);
  EXPECT_EQ(sock_.ReceiveCount(4), "220 ");
  EXPECT_EQ(sock_.Receive(), "SNPP Gateway Ready\r\n");
  EXPECT_EQ(sock_.Receive(), "");

  // The server answers QUIT and closes: the answer stays readable.
  infos_.clear();
  sock_.SendLine("QUIT");
  ASSERT_TRUE(PumpUntil([&] { return !sock_.GetConnected(); }));
  EXPECT_EQ(infos_, (std::vector<std::string>{"5:Non-Blocking Outgoing Data", "4:Non-Blocking Incoming Data",
                                              "2:Socket Closed"}));
  EXPECT_EQ(disconnects_, 1);
  EXPECT_EQ(sock_.Receive(), "221 OK, Goodbye\r\n");
  EXPECT_EQ(ThrownText([&] { sock_.Receive(); }), "Receive - Socket Not Connected");
  EXPECT_EQ(ThrownText([&] { sock_.SendLine("QUIT"); }), "Send - Socket Not Connected");
}

TEST_F(SockTest, ARefusedConnectReportsItsErrorAndCloses) {
  sock_.SetHostName("127.0.0.1");
  sock_.SetPortName(std::to_string(test::UnusedLocalPort()));
  ASSERT_TRUE(sock_.Open());
  ASSERT_TRUE(PumpUntil([&] { return !sock_.GetConnected(); }));
  EXPECT_EQ(std::vector<std::string>(infos_.begin() + 3, infos_.end()),
            (std::vector<std::string>{"7:Error #10061 (WSAECONNREFUSED)", "2:Socket Closed"}));
  EXPECT_EQ(disconnects_, 1);
}

TEST_F(SockTest, BlockingModeConnectsSendsAndReceivesWithoutNotices) {
  test::ScriptedSnppServer server;
  sock_.SetBlocking(true);
  sock_.SetBlockingTimeout(5);
  sock_.SetHostName("127.0.0.1");
  sock_.SetPortName(server.PortName());
  ASSERT_TRUE(sock_.Open());
  EXPECT_EQ(sock_.Receive(), "220 SNPP Gateway Ready\r\n");
  sock_.SendLine("QUIT");
  EXPECT_EQ(sock_.Receive(), "221 OK, Goodbye\r\n");
  infos_.clear();
  EXPECT_EQ(sock_.Receive(), "");
  EXPECT_EQ(infos_, (std::vector<std::string>{"4:Blocking Incoming Data", "2:Socket Disconnected On Receive",
                                              "2:Socket Closed"}));
  EXPECT_FALSE(sock_.GetConnected());
  EXPECT_EQ(disconnects_, 1);

  infos_.clear();
  sock_.SetPortName(std::to_string(test::UnusedLocalPort()));
  EXPECT_FALSE(sock_.Open());
  EXPECT_EQ(std::vector<std::string>(infos_.begin() + 2, infos_.end()),
            (std::vector<std::string>{"2:Blocking Socket Can't Connect", "2:Socket Closed"}));
}

TEST_F(SockTest, LookupFailuresRaiseTheirTexts) {
  sock_.SetPortName("25");
  for (const char* host : {"1.2.3.4.5", "300.1.1.1", "no-such-host.invalid"}) {
    sock_.SetHostName(host);
    EXPECT_EQ(ThrownText([&] { sock_.Open(); }), "Host Lookup - Could Not Find Host Entry") << host;
  }
  sock_.SetHostName("127.0.0.1");
  for (const char* port : {"", "70000", "no-such-service"}) {
    sock_.SetPortName(port);
    EXPECT_EQ(ThrownText([&] { sock_.Open(); }), "Port Lookup - Could Not Find Service Entry") << port;
  }
  sock_.SetPortName("25x");
  EXPECT_EQ(ThrownText([&] { sock_.Open(); }), "'25x' is not a valid integer value");
  EXPECT_EQ(ThrownText([&] { sock_.SendLine("x"); }), "Send - Socket Not Connected");

  // A failed lookup leaves no socket behind: the next Open starts afresh.
  test::ScriptedSnppServer server;
  sock_.SetPortName(server.PortName());
  EXPECT_TRUE(sock_.Open());
}

TEST_F(SockTest, ServiceNamesAndCachedHostNames) {
  test::ScriptedSnppServer server;
  sock_.SetHostName("LocalHost");
  sock_.SetPortName(server.PortName());
  ASSERT_TRUE(sock_.Open());
  EXPECT_EQ(platform::FindCachedHost("localhost"), htonl(INADDR_LOOPBACK));
  ASSERT_TRUE(PumpUntil([&] { return sock_.GetBytesAvailable() > 0; }));
  EXPECT_EQ(ThrownText([&] { sock_.SetSocketType(stDatagram); }),
            "SocketType - Can't Assign Socket Type While Connected");
  sock_.SetPortName("1");
  EXPECT_EQ(infos_.back(), "0:Setting PortName While Connected Has No Effect");
  sock_.Close();

  if (!platform::LookupServicePort("snpp", "tcp")) GTEST_SKIP() << "no services database";
  TSock by_name;
  by_name.SetHostName("127.0.0.1");
  by_name.SetPortName("snpp");
  EXPECT_TRUE(by_name.Open());
}

TEST_F(SockTest, FourMegabytesToASlowReaderArriveWhole) {
  std::string data(4 * 1024 * 1024, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);

  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  // A small receive window keeps most of the data waiting on the sender.
  const int window = 64 * 1024;
  setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&sa), len), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  std::string arrived;
  std::atomic<size_t> count{0};
  std::thread reader([&] {
    const int fd = accept(listener, nullptr, nullptr);
    char buffer[16 * 1024];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
      arrived.append(buffer, static_cast<size_t>(n));
      count = arrived.size();
      std::this_thread::sleep_for(100us);  // a slow reader
    }
    close(fd);
  });

  int writes = 0;
  sock_.OnWrite = [&](TSock&) { ++writes; };
  sock_.SetHostName("127.0.0.1");
  sock_.SetPortName(std::to_string(ntohs(sa.sin_port)));
  ASSERT_TRUE(sock_.Open());
  ASSERT_TRUE(PumpUntil([&] { return writes == 1; }));
  sock_.SendText(data);
  // What the socket did not take at once goes out on write notices.
  EXPECT_TRUE(PumpUntil([&] { return count == data.size(); }, 20000ms));
  sock_.Close();
  reader.join();
  close(listener);
  EXPECT_EQ(arrived.size(), data.size());
  EXPECT_TRUE(arrived == data);
}

TEST_F(SockTest, ASocketThatFailedToBindIsClosedWithTheComponent) {
  const int taken = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  socklen_t len = sizeof sa;
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&sa), len), 0);
  getsockname(taken, reinterpret_cast<sockaddr*>(&sa), &len);
  platform::ProcessMessages();  // the thread's queue holds a descriptor of its own
  const size_t before = test::OpenDescriptorCount();
  {
    TSock udp;
    udp.SetSocketType(stDatagram);
    udp.SetPortName(std::to_string(ntohs(sa.sin_port)));
    EXPECT_FALSE(udp.Open());
    EXPECT_FALSE(udp.GetConnected());
  }
  EXPECT_EQ(test::OpenDescriptorCount(), before);
  close(taken);
}

TEST(SockErrorText, NamesTheWinSockConstant) {
  EXPECT_EQ(TSock::SocketErrorText(10050), "WSAENETDOWN");
  EXPECT_EQ(TSock::SocketErrorText(10072), "UNKNOWN ERROR");
}

}  // namespace
}  // namespace vltg
