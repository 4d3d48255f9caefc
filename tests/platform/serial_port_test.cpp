#include "platform/serial/serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "platform/serial/com_port_map.h"
#include "platform/serial/serial_line_flags.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {

uint32_t ProbeOutputRate(int fd);  // termios2_probe.cpp

namespace {

using vltg::testing::PseudoTerminal;
using Clock = std::chrono::steady_clock;

// glibc names the kernel's BOTHER rate code CBAUDEX.
constexpr tcflag_t kBother = CBAUDEX;

termios Attributes(const SerialPort& port) {
  termios t{};
  EXPECT_EQ(tcgetattr(port.Handle(), &t), 0);
  return t;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(port.Open(pty.SlavePath())) << port.LastError();
    ASSERT_TRUE(port.Apply({})) << port.LastError();
  }
  void AwaitWaiting(size_t count) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (port.BytesWaiting() < count && Clock::now() < deadline) std::this_thread::yield();
    ASSERT_EQ(port.BytesWaiting(), count);
  }
  PseudoTerminal pty;
  SerialPort port;
};

// Pseudo-terminals force 8 data bits and no parity, whatever is set; every
// other bit reads back as applied.
constexpr tcflag_t kPtyNormalised = CSIZE | PARENB;

SerialLineFlags Built(const SerialSettings& s) {
  SerialLineFlags f;
  EXPECT_TRUE(MakeLineFlags(s, f));
  return f;
}

TEST_F(SerialPortTest, FramingParityAndHandshakeReadBack) {
  const struct {
    const char* name;
    SerialSettings settings;
    tcflag_t cflag;  // of CSIZE, PARENB, PARODD, CMSPAR, CSTOPB, CRTSCTS
    tcflag_t iflag;  // of IXON, IXOFF
  } cases[] = {
      {"8N1", {}, CS8, 0},
      {"7E1", {9600, 7, SerialParity::kEven}, CS7 | PARENB, 0},
      {"7O1", {9600, 7, SerialParity::kOdd}, CS7 | PARENB | PARODD, 0},
      {"8M1", {9600, 8, SerialParity::kMark}, CS8 | PARENB | PARODD | CMSPAR, 0},
      {"8S1", {9600, 8, SerialParity::kSpace}, CS8 | PARENB | CMSPAR, 0},
      {"5N1.5", {9600, 5, SerialParity::kNone, SerialStopBits::kOneAndHalf}, CS5 | CSTOPB, 0},
      {"6N2", {9600, 6, SerialParity::kNone, SerialStopBits::kTwo}, CS6 | CSTOPB, 0},
      {"XON/XOFF", {9600, 8, SerialParity::kNone, SerialStopBits::kOne, false, true}, CS8, IXON | IXOFF},
      {"RTS/CTS", {9600, 8, SerialParity::kNone, SerialStopBits::kOne, true, false}, CS8 | CRTSCTS, 0},
  };
  constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  for (const auto& c : cases) {
    const SerialLineFlags built = Built(c.settings);
    EXPECT_EQ(built.cflag & kFraming, c.cflag) << c.name;
    EXPECT_EQ(built.iflag & (IXON | IXOFF), c.iflag) << c.name;

    ASSERT_TRUE(port.Apply(c.settings)) << c.name;
    const termios t = Attributes(port);
    EXPECT_EQ(t.c_cflag & kFraming & ~kPtyNormalised, c.cflag & ~kPtyNormalised) << c.name;
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), c.iflag) << c.name;
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), CREAD | CLOCAL);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);
  }
}

TEST_F(SerialPortTest, RatesOutsideTheClassicCodesUseBother) {
  for (uint32_t rate : {14400u, 56000u, 115200u}) {
    ASSERT_TRUE(port.Apply({rate})) << port.LastError();
    EXPECT_EQ(Attributes(port).c_cflag & CBAUD, rate == 115200 ? B115200 : kBother) << rate;
    EXPECT_EQ(ProbeOutputRate(port.Handle()), rate);
  }
}

TEST_F(SerialPortTest, RefusesSettingsItCannotTake) {
  for (const SerialSettings bad : {SerialSettings{9600, 4}, SerialSettings{9600, 9}, SerialSettings{0, 8}}) {
    EXPECT_FALSE(port.Apply(bad));
  }
  const termios t = Attributes(port);  // what was applied before stays
  EXPECT_EQ(cfgetospeed(&t), B9600);
}

TEST_F(SerialPortTest, OpenIsExclusive) {
  SerialPort second;
  EXPECT_FALSE(second.Open(pty.SlavePath()));
  EXPECT_NE(second.LastError().find("busy"), std::string::npos) << second.LastError();
  EXPECT_FALSE(second.IsOpen());
  port.Close();
  EXPECT_TRUE(second.Open(pty.SlavePath())) << second.LastError();

  SerialPort other;
  EXPECT_FALSE(other.Open("/nonexistent/ttyX"));
  EXPECT_NE(other.LastError().find("/nonexistent/ttyX"), std::string::npos);
  EXPECT_FALSE(other.Open("/dev/null"));  // not a terminal
  EXPECT_FALSE(other.IsOpen());
}

TEST_F(SerialPortTest, AnAdoptedDescriptorLeavesTheOwnersClaimAlone) {
  SerialPort adopted;
  EXPECT_FALSE(adopted.Adopt(-1));
  ASSERT_TRUE(adopted.Adopt(dup(port.Handle())));
  EXPECT_EQ(adopted.Path(), pty.SlavePath());
  ASSERT_EQ(adopted.Write("dup", 3), 3u);
  EXPECT_EQ(pty.Read(3, 30000), "dup");
  adopted.Close();
  SerialPort second;
  EXPECT_FALSE(second.Open(pty.SlavePath()));  // still exclusive while the owner holds it
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, BytesPassBothWaysUntranslated) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);  // 17 and 19 are data here
  all += "\r\n\n\r";
  ASSERT_EQ(port.Write(all.data(), all.size()), all.size());
  EXPECT_EQ(pty.Read(all.size(), 30000), all);

  ASSERT_TRUE(pty.Write(all));
  AwaitWaiting(all.size());
  std::string got(all.size() + 10, '\0');
  // The window ends with part of what was asked for: that part comes back.
  ASSERT_EQ(port.Read(got.data(), got.size(), 20), static_cast<long>(all.size()));
  got.resize(all.size());
  EXPECT_EQ(got, all);
}

TEST_F(SerialPortTest, ReadWindowsPurgeAndHangUp) {
  char buffer[8];
  auto start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 1, 1), 0);  // a millisecond's window, not seconds
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900));  // room for a busy machine

  ASSERT_TRUE(pty.Write("abc"));
  start = Clock::now();
  EXPECT_EQ(port.Read(buffer, 3, 60000), 3);  // ends once full
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));

  ASSERT_TRUE(pty.Write("12345"));
  AwaitWaiting(5);
  EXPECT_TRUE(port.Purge(SerialPurge::kInput));
  EXPECT_EQ(port.BytesWaiting(), 0u);

  pty.CloseMaster();
  EXPECT_EQ(port.Read(buffer, 1, 100), -1);
  EXPECT_FALSE(port.LastError().empty());
}

TEST_F(SerialPortTest, WriteHeldByXoffGivesUpOnStop) {
  ASSERT_TRUE(port.Apply({9600, 8, SerialParity::kNone, SerialStopBits::kOne, false, true}));
  ASSERT_TRUE(pty.Write("\x13"));  // XOFF
  // The terminal takes the XOFF in its own time: until it has, a write still
  // goes out (and is read off the other end). Once it has, none does.
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  size_t written = 4;
  while (written != 0 && Clock::now() < deadline) {
    const auto give_up = Clock::now() + std::chrono::milliseconds(100);
    written = port.Write("held", 4, [&] { return Clock::now() > give_up; });
    if (written == 0) {
      EXPECT_GE(Clock::now(), give_up);
    } else {
      EXPECT_EQ(pty.Read(written, 30000), std::string("held", written));
    }
  }
  EXPECT_EQ(written, 0u);

  // A stop request from another thread ends a write, and every later one
  // until the port is opened again.
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.RequestStop();
  });
  EXPECT_EQ(port.Write("held", 4), 0u);
  stopper.join();
  ASSERT_TRUE(pty.Write("\x11"));  // XON
  EXPECT_EQ(port.Write("held", 4), 0u);
  port.Close();
  ASSERT_TRUE(port.Open(pty.SlavePath()));
  EXPECT_EQ(port.Write("free", 4), 4u);
  EXPECT_EQ(pty.Read(4, 30000), "free");
}

TEST(ComPortMap, NamesAndResolution) {
  EXPECT_EQ(ComPortNumber("COM1"), 1);
  EXPECT_EQ(ComPortNumber("com16"), 16);
  EXPECT_EQ(ComPortNumber("Com10"), 10);
  for (const char* other : {"COM", "COM0", "COM01", "COMX", "COM1 ", "LPT1", "/dev/ttyS0", "COM12345"}) {
    EXPECT_FALSE(ComPortNumber(other).has_value()) << other;
  }

  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env("VLTG_ROOT", root.Path().string());
  EXPECT_EQ(ResolveComPort("COM1"), "/dev/ttyS0");
  EXPECT_EQ(ResolveComPort("COM10"), "/dev/ttyS9");
  EXPECT_EQ(ResolveComPort("/dev/ttyUSB0"), "/dev/ttyUSB0");

  PseudoTerminal pty;
  vltg::testing::LinkComPort(3, pty.SlavePath());
  const std::string link = (root.Path() / "devices" / "com3").string();
  EXPECT_EQ(ResolveComPort("COM3"), link);
  SerialPort port;
  ASSERT_TRUE(port.Open("COM3")) << port.LastError();
  EXPECT_EQ(port.Path(), link);

  // A link whose device is gone fails the open rather than falling back.
  vltg::testing::LinkComPort(4, "/nonexistent/tty");
  EXPECT_EQ(ResolveComPort("COM4"), (root.Path() / "devices" / "com4").string());
  SerialPort missing;
  EXPECT_FALSE(missing.Open("COM4"));
}

}  // namespace
}  // namespace vltg::platform
