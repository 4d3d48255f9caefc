#include "platform/sockets/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/message_queue.h"
#include "platform/sockets/resolver.h"
#include "platform/sockets/socket_errors.h"
#include "tests/support/pump_until.h"
#include "tests/support/scripted_snpp_server.h"

namespace vltg::platform {
namespace {

using namespace std::chrono_literals;

struct Notice {
  uint16_t event;
  int error;
  bool operator==(const Notice&) const = default;
};

constexpr uint16_t kAll = kFdRead | kFdWrite | kFdConnect | kFdClose;

using vltg::test::PumpUntil;

// Pumps for a while, at least once: the time for a notice that must not come
// to show up. Notices that must come are waited for with PumpUntil.
void PumpFor(std::chrono::milliseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  do {
    SleepPumping(2);
  } while (std::chrono::steady_clock::now() < end);
}

SocketAddress Local(uint16_t port) { return {htonl(INADDR_LOOPBACK), NetworkPort(port)}; }

class SocketNotices : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SocketStartup());
    listener_ = Socket::Create(SocketKind::kStream);
    ASSERT_TRUE(listener_);
    ASSERT_EQ(listener_->Bind(Local(0)), 0);
    ASSERT_EQ(listener_->Listen(5), 0);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    getsockname(listener_->Handle(), reinterpret_cast<sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
  }

  // A client with every stream notice selected, connected to the listener;
  // the server's end of it in `peer`.
  std::unique_ptr<Socket> Connected(std::vector<Notice>& seen, std::unique_ptr<Socket>& peer) {
    auto client = Socket::Create(SocketKind::kStream);
    client->Select(kAll, [&seen](uint16_t event, int error) { seen.push_back({event, error}); });
    EXPECT_EQ(client->Connect(Local(port_)), -1);
    EXPECT_EQ(LastSocketError(), WSAEWOULDBLOCK);
    peer = listener_->Accept(nullptr);
    EXPECT_TRUE(peer);
    EXPECT_TRUE(PumpUntil([&] { return seen.size() >= 2; }));
    seen.clear();
    return client;
  }

  std::unique_ptr<Socket> listener_;
  uint16_t port_ = 0;
};

TEST(SocketErrors, ErrnoBecomesTheWinSockCodeAndItsName) {
  EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WsaErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(WsaErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(WsaErrorFromErrno(EWOULDBLOCK), 10035);
  EXPECT_EQ(WsaErrorFromErrno(EINPROGRESS), 10036);
  EXPECT_EQ(WsaErrorFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(WsaErrorFromErrno(EINTR), 10004);
  EXPECT_EQ(WsaErrorFromErrno(EPIPE), 10054);
  EXPECT_EQ(WsaErrorFromErrno(0), 0);
  EXPECT_EQ(SocketErrorText(10061), "WSAECONNREFUSED");
  EXPECT_EQ(SocketErrorText(10050), "WSAENETDOWN");
  EXPECT_EQ(SocketErrorText(10035), "WSAEWOULDBLOCK");
  EXPECT_EQ(SocketErrorText(10071), "WSAEREMOTE");
  EXPECT_EQ(SocketErrorText(10024), "WSAEMFILE");
  EXPECT_EQ(SocketErrorText(11001), "WSAHOST_NOT_FOUND");
  EXPECT_EQ(SocketErrorText(10072), "UNKNOWN ERROR");
  EXPECT_EQ(SocketErrorText(10034), "UNKNOWN ERROR");
  EXPECT_EQ(SocketErrorText(0), "UNKNOWN ERROR");
}

TEST(SocketResolver, DottedAddressesAndNames) {
  EXPECT_EQ(ParseDottedAddress("127.0.0.1"), htonl(0x7F000001));
  EXPECT_EQ(ParseDottedAddress("127.1"), htonl(0x7F000001));
  EXPECT_EQ(ParseDottedAddress("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_FALSE(ParseDottedAddress("1.2.3.4.5"));
  EXPECT_FALSE(ParseDottedAddress("300.1.1.1"));
  EXPECT_FALSE(ParseDottedAddress("."));
  EXPECT_FALSE(ParseDottedAddress(""));
  EXPECT_EQ(LookupHostAddress("localhost"), htonl(0x7F000001));
  EXPECT_FALSE(LookupHostAddress("no-such-host.invalid"));
  EXPECT_FALSE(LookupServicePort("no-such-service", "tcp"));
  EXPECT_EQ(DottedText(htonl(0x0A000102)), "10.0.1.2");
}

TEST_F(SocketNotices, ComeOnlyWhileTheOwnerPumpsConnectThenWrite) {
  std::vector<Notice> seen;
  auto client = Socket::Create(SocketKind::kStream);
  client->Select(kAll, [&](uint16_t event, int error) { seen.push_back({event, error}); });
  client->Connect(Local(port_));
  auto peer = listener_->Accept(nullptr);
  ASSERT_TRUE(peer);
  std::this_thread::sleep_for(30ms);
  EXPECT_TRUE(seen.empty());
  ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 2; }));
  PumpFor(30ms);
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdConnect, 0}, {kFdWrite, 0}}));
}

TEST_F(SocketNotices, ReadOnceUntilRecvAndCloseOnlyAfterTheDataIsRead) {
  std::vector<Notice> seen;
  std::unique_ptr<Socket> peer;
  auto client = Connected(seen, peer);
  peer->Send("abc");
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  peer->Send("def");
  PumpFor(30ms);
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdRead, 0}}));

  char buffer[16];
  std::string got;
  ssize_t n = client->Recv(buffer, sizeof buffer);
  ASSERT_GT(n, 0);
  got.append(buffer, n);
  if (got.size() < 6) {  // "def" came as a second segment: a second notice
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 2; }));
    n = client->Recv(buffer, sizeof buffer);
    got.append(buffer, n);
  }
  EXPECT_EQ(got, "abcdef");
  seen.clear();

  peer->Send("x");
  peer.reset();  // closes
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  PumpFor(30ms);
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdRead, 0}}));
  ASSERT_EQ(client->Recv(buffer, sizeof buffer), 1);
  ASSERT_TRUE(PumpUntil([&] { return seen.size() == 2; }));
  PumpFor(30ms);
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdRead, 0}, {kFdClose, 0}}));
}

TEST_F(SocketNotices, RefusedConnectIsOneConnectNoticeWithTheError) {
  std::vector<Notice> seen;
  auto client = Socket::Create(SocketKind::kStream);
  client->Select(kAll, [&](uint16_t event, int error) { seen.push_back({event, error}); });
  client->Connect(Local(test::UnusedLocalPort()));
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  PumpFor(30ms);
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdConnect, WSAECONNREFUSED}}));
}

TEST_F(SocketNotices, WriteComesAgainOnlyAfterASendMetAFullBuffer) {
  std::vector<Notice> seen;
  std::unique_ptr<Socket> peer;
  auto client = Connected(seen, peer);
  peer->SetBlocking(false);
  std::vector<char> buffer(256 * 1024);
  const auto drain_until_write = [&] {
    return PumpUntil([&] {
      while (peer->Recv(buffer.data(), buffer.size()) > 0) {
      }
      return !seen.empty();
    });
  };

  // More than any send buffer holds is taken in part.
  const std::string big(16 * 1024 * 1024, 'w');
  const ssize_t taken = client->Send(big);
  EXPECT_GT(taken, 0);
  EXPECT_LT(taken, static_cast<ssize_t>(big.size()));
  ASSERT_TRUE(drain_until_write());
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdWrite, 0}}));

  // A send refused outright re-enables it as well.
  seen.clear();
  while (client->Send(big) > 0) {
  }
  EXPECT_EQ(LastSocketError(), WSAEWOULDBLOCK);
  ASSERT_TRUE(drain_until_write());
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdWrite, 0}}));

  // Sends the buffer takes whole leave it off, however much room frees.
  PumpUntil([&] {
    while (peer->Recv(buffer.data(), buffer.size()) > 0) {
    }
    return false;
  }, 50ms);
  seen.clear();
  EXPECT_EQ(client->Send("small"), 5);
  PumpFor(20ms);
  EXPECT_TRUE(seen.empty());
}

TEST_F(SocketNotices, AcceptIsReArmedByAccept) {
  std::vector<Notice> seen;
  listener_->Select(kFdAccept, [&](uint16_t event, int error) { seen.push_back({event, error}); });
  auto first = Socket::Create(SocketKind::kStream);
  auto second = Socket::Create(SocketKind::kStream);
  first->Connect(Local(port_));
  second->Connect(Local(port_));
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  PumpFor(30ms);
  EXPECT_EQ(seen, (std::vector<Notice>{{kFdAccept, 0}}));
  SocketAddress peer;
  auto accepted = listener_->Accept(&peer);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(DottedText(peer.address), "127.0.0.1");
  ASSERT_TRUE(PumpUntil([&] { return seen.size() == 2; }));
  ASSERT_TRUE(listener_->Accept(nullptr));
  PumpFor(20ms);
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(SocketNotices, AReusedDescriptorNeverGetsTheOldSocketsNotice) {
  std::vector<Notice> old_seen, new_seen;
  std::unique_ptr<Socket> peer;
  auto old_socket = Connected(old_seen, peer);
  peer->Send("stale");
  ASSERT_EQ(old_socket->WaitReadable(30000), 1);
  // One pass finds the data and queues the read notice, not yet handled.
  ProcessMessages();
  EXPECT_TRUE(old_seen.empty());
  const int number = old_socket->Handle();
  old_socket->Close();

  auto new_socket = Socket::Create(SocketKind::kStream);
  ASSERT_EQ(new_socket->Handle(), number);
  new_socket->Select(kAll, [&](uint16_t event, int error) { new_seen.push_back({event, error}); });
  new_socket->Connect(Local(port_));
  auto new_peer = listener_->Accept(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return new_seen.size() >= 2; }));
  PumpFor(40ms);
  EXPECT_TRUE(old_seen.empty());
  EXPECT_EQ(new_seen, (std::vector<Notice>{{kFdConnect, 0}, {kFdWrite, 0}}));
}

TEST_F(SocketNotices, NoticesStopWhenDeselectedAndAPeerResetIsACloseWithItsError) {
  std::vector<Notice> seen;
  std::unique_ptr<Socket> peer;
  auto client = Connected(seen, peer);
  client->Select(0, nullptr);
  peer->Send("ignored");
  PumpFor(20ms);
  EXPECT_TRUE(seen.empty());

  client->Select(kAll, [&](uint16_t event, int error) { seen.push_back({event, error}); });
  char buffer[64];
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  client->Recv(buffer, sizeof buffer);
  // An abortive close resets the connection.
  linger hard{1, 0};
  setsockopt(peer->Handle(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  peer.reset();
  ASSERT_TRUE(PumpUntil([&] { return seen.back().event == kFdClose; }));
  EXPECT_EQ(seen.back().error, WSAECONNRESET);
}

}  // namespace
}  // namespace vltg::platform
